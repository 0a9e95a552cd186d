// Errors of CWorkbench.DEVOVIZoruze as hosts see them, against the reference
// suite (its scenario makes the store functions fail): all five fields
// through IErrorInfo for callers of the table of methods and through
// EXCEPINFO for IDispatch callers, the translated description in the
// scenario's language, and the per-thread module state that lives as long as
// the thread's instances (the suite's journal shows its components' lives).
//   errors_client.exe CHS|ENG
// with WB_SUITE_SCENARIO naming scenarios/errors_chs.json or errors_eng.json
// and WB_SUITE_JOURNAL naming a fresh journal file.
#include <windows.h>

#include <cguid.h>
#include <initguid.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "entry/dispatch.h"
#include "entry/workbench_idl.h"
#include "tests/wine/lib/checks.h"
#include "win/scoped_bstr.h"
#include "win/scoped_excep_info.h"
#include "win/scoped_handle.h"
#include "win/scoped_variant.h"

namespace {

using Microsoft::WRL::ComPtr;
using wb::String;
using wb::win::ScopedBstr;
using wb::win::ScopedExcepInfo;
using wb::win::ScopedVariant;
using wbtest::Checks;
using wbtest::ExpectHr;
using wbtest::RefTo;

constexpr DISPID kDEVOVIZoruze = DISPID_DEVOVIZORUZE;

struct Case {
  LONG id;
  HRESULT hr;
  String source;
  String description;
  String help_file;
  DWORD help_context;
};

std::vector<Case> CasesFor(bool chinese) {
  const String prefix =
      chinese ? u"调用门店函数出错。原因：" : u"Error calling the store function. Reason: ";
  return {
      // A component's own error with help: every field passes, the
      // description behind the translated prefix.
      {wb::entry::kLoyaltyPlan, static_cast<HRESULT>(0x800A04D2), u"Loyalty",
       prefix + (chinese ? u"积分方案不可用" : u"Points scheme unavailable"), u"loyalty.chm", 42},
      // An empty description: the prefix alone.
      {wb::entry::kReceiptRoll, static_cast<HRESULT>(0x800A0005), u"ReceiptRoll", prefix, u"", 0},
      // An HRESULT number travels as it is; an untranslatable description
      // becomes the marker outside CHS.
      {wb::entry::kMemberLookup, E_FAIL, u"Finder",
       prefix + (chinese ? u"查无此会员" : u"**WaitToBeTranslated**"), u"", 0},
  };
}

// ---- Journal of the suite -----------------------------------------------------

// Counts of journal lines for one ProgID's creations and releases.
struct Lives {
  int created = 0;
  int released = 0;
};

Lives LivesOf(const std::string& prog_id) {
  Lives lives;
  const char* path = std::getenv("WB_SUITE_JOURNAL");
  if (path == nullptr)
    return lives;
  std::ifstream journal(path);
  std::string line;
  const std::string progid = "\"progid\":\"" + prog_id + "\"";
  while (std::getline(journal, line)) {
    if (line.find(progid) == std::string::npos)
      continue;
    if (line.find("\"event\":\"create\"") != std::string::npos)
      ++lives.created;
    if (line.find("\"event\":\"release\"") != std::string::npos)
      ++lives.released;
  }
  return lives;
}

std::string Show(const Lives& lives) {
  return std::to_string(lives.created) + " created, " + std::to_string(lives.released) +
         " released";
}

// ---- Early binding: status code and IErrorInfo --------------------------------

void CheckVtableError(Checks& t, _CWorkbench* object, const Case& c) {
  const std::string p = "vtable " + std::to_string(c.id) + ": ";
  LONG id = c.id;
  SetErrorInfo(0, nullptr);
  ExpectHr(t, object->DEVOVIZoruze(&id), c.hr, p + "status code");
  t.ExpectEq(id, c.id, p + "variable unchanged");

  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.ReleaseAndGetAddressOf()) != S_OK || !info) {
    t.Expect(false, p + "IErrorInfo published");
    return;
  }
  GUID guid = GUID_NULL;
  ScopedBstr source, description, help_file;
  DWORD help_context = 0;
  info->GetGUID(&guid);
  info->GetSource(source.Receive());
  info->GetDescription(description.Receive());
  info->GetHelpFile(help_file.Receive());
  info->GetHelpContext(&help_context);
  t.Expect(IsEqualGUID(guid, IID__CWorkbench), p + "IErrorInfo names _CWorkbench");
  t.ExpectEq(source.Text(), c.source, p + "Source");
  t.ExpectEq(description.Text(), c.description, p + "Description");
  t.ExpectEq(help_file.Text(), c.help_file, p + "HelpFile");
  t.ExpectEq(help_context, c.help_context, p + "HelpContext");
}

// ---- Late binding: DISP_E_EXCEPTION and EXCEPINFO -----------------------------

void CheckDispatchError(Checks& t, IDispatch* dispatch, const Case& c) {
  const std::string p = "dispatch " + std::to_string(c.id) + ": ";
  // A script's variable, passed by reference.
  ScopedVariant variable(c.id);
  ScopedVariant arg = RefTo(variable);
  DISPPARAMS params = {arg.AsInput(), nullptr, 1, 0};
  ScopedExcepInfo excep;
  UINT arg_error = 0;
  const HRESULT hr = dispatch->Invoke(kDEVOVIZoruze, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                      excep.Receive(), &arg_error);
  ExpectHr(t, hr, DISP_E_EXCEPTION, p + "DISP_E_EXCEPTION");
  const EXCEPINFO& e = excep.Get();
  t.Expect(e.pfnDeferredFillIn == nullptr, p + "EXCEPINFO filled at once");
  t.ExpectEq(e.wCode, 0, p + "wCode 0");
  ExpectHr(t, e.scode, c.hr, p + "scode");
  t.ExpectEq(ScopedBstr::TextOf(e.bstrSource), c.source, p + "Source");
  t.ExpectEq(ScopedBstr::TextOf(e.bstrDescription), c.description, p + "Description");
  t.ExpectEq(ScopedBstr::TextOf(e.bstrHelpFile), c.help_file, p + "HelpFile");
  t.ExpectEq(e.dwHelpContext, c.help_context, p + "HelpContext");
  t.Expect(variable.type() == VT_I4 && V_I4(&variable.Get()) == c.id, p + "variable unchanged");

  // Without an EXCEPINFO the status code itself reports the error.
  ExpectHr(t,
           dispatch->Invoke(kDEVOVIZoruze, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                            nullptr),
           c.hr, p + "status code without EXCEPINFO");
}

// A VB-style host's `wb.DEVOVIZoruze FDetailFuncID:=id`: the method and the
// parameter named together, then one named argument, a reference to a Long.
void CheckNamedArgument(Checks& t, IDispatch* dispatch, const Case& c) {
  const std::string p = "named " + std::to_string(c.id) + ": ";
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"DEVOVIZoruze"),
                      const_cast<LPOLESTR>(L"FDetailFuncID")};
  DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
  ExpectHr(t, dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK, p + "names resolve");
  LONG id = c.id;
  ScopedVariant arg = RefTo(id);
  DISPPARAMS params = {arg.AsInput(), &ids[1], 1, 1};
  ScopedExcepInfo excep;
  const Lives before = LivesOf("Finder.OneRecordPick");
  const HRESULT hr = dispatch->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                                      excep.Receive(), nullptr);
  const Lives after = LivesOf("Finder.OneRecordPick");
  ExpectHr(t, hr, DISP_E_EXCEPTION, p + "DISP_E_EXCEPTION");
  ExpectHr(t, excep.Get().scode, c.hr, p + "scode");
  t.ExpectEq(ScopedBstr::TextOf(excep.Get().bstrDescription), c.description, p + "Description");
  t.Expect(after.created == before.created + 1 && after.released == before.released + 1,
           p + "the member lookup ran", Show(after));
  t.ExpectEq(id, c.id, p + "variable unchanged");
}

ComPtr<_CWorkbench> NewWorkbench() {
  ComPtr<_CWorkbench> object;
  CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
  return object;
}

void CheckErrors(Checks& t, bool chinese) {
  ComPtr<_CWorkbench> object = NewWorkbench();
  t.Expect(static_cast<bool>(object), "CoCreateInstance(CLSID_CWorkbench)");
  if (!object)
    return;
  ComPtr<IDispatch> dispatch;
  object.As(&dispatch);
  for (const Case& c : CasesFor(chinese)) {
    CheckVtableError(t, object.Get(), c);
    if (dispatch)
      CheckDispatchError(t, dispatch.Get(), c);
    if (dispatch && c.id == wb::entry::kMemberLookup)
      CheckNamedArgument(t, dispatch.Get(), c);
  }
  // A failure leaves nothing behind for the next call.
  LONG id = 1800501;
  SetErrorInfo(0, nullptr);
  ExpectHr(t, object->DEVOVIZoruze(&id), S_OK, "a call after failures succeeds");
}

// ---- Per-thread module state ----------------------------------------------------

// The translation's cached components live while an instance lives on the
// thread and go with the thread's last instance; the next instance starts
// afresh.
void CheckModuleStateLife(Checks& t) {
  const std::string loader = "Phrasebook.Catalog";
  const Lives before = LivesOf(loader);
  {
    ComPtr<_CWorkbench> first = NewWorkbench();
    ComPtr<_CWorkbench> second = NewWorkbench();
    LONG id = wb::entry::kLoyaltyPlan;
    if (first)
      first->DEVOVIZoruze(&id);
    if (second)
      second->DEVOVIZoruze(&id);
    const Lives during = LivesOf(loader);
    t.Expect(during.created == before.created + 1 && during.released == before.released,
             "state: one loader for the thread's instances, kept between calls", Show(during));
    first.Reset();
    const Lives one_left = LivesOf(loader);
    t.Expect(one_left.released == before.released,
             "state: kept while an instance lives on the thread", Show(one_left));
  }
  const Lives after = LivesOf(loader);
  t.Expect(after.released == before.released + 1, "state: released with the thread's last instance",
           Show(after));
  ComPtr<_CWorkbench> next = NewWorkbench();
  LONG id = wb::entry::kLoyaltyPlan;
  if (next)
    next->DEVOVIZoruze(&id);
  const Lives fresh = LivesOf(loader);
  t.Expect(fresh.created == before.created + 2, "state: the next instance starts afresh",
           Show(fresh));
}

// A host thread that fills the caches, releases its objects, uninitializes
// COM and ends: nothing of the component runs after that.
DWORD WINAPI HostThread(void*) {
  CoInitialize(nullptr);
  {
    ComPtr<_CWorkbench> object = NewWorkbench();
    LONG id = wb::entry::kLoyaltyPlan;
    if (object)
      object->DEVOVIZoruze(&id);
  }
  CoUninitialize();
  return 0;
}

void CheckThreadExit(Checks& t) {
  const Lives before = LivesOf("Phrasebook.Catalog");
  const wb::win::ScopedHandle thread(CreateThread(nullptr, 0, HostThread, nullptr, 0, nullptr));
  const DWORD waited = thread ? WaitForSingleObject(thread.Get(), 20000) : WAIT_FAILED;
  DWORD code = 1;
  if (thread)
    GetExitCodeThread(thread.Get(), &code);
  t.Expect(waited == WAIT_OBJECT_0 && code == 0, "thread: a host thread ends cleanly");
  const Lives after = LivesOf("Phrasebook.Catalog");
  t.Expect(after.created == before.created + 1 && after.released == before.released + 1,
           "thread: its cached components were released before CoUninitialize", Show(after));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Checks t;
  if (argc != 2 || (std::wcscmp(argv[1], L"CHS") != 0 && std::wcscmp(argv[1], L"ENG") != 0)) {
    t.Expect(false, "arguments", "usage: errors_client CHS|ENG");
    return t.Finish();
  }
  // The journal and the creation; for each case its vtable and dispatch
  // checks, the named argument for one; the next call, the state, the thread.
  const int cases = static_cast<int>(CasesFor(true).size());
  t.Plan(2 + cases * (7 + 10) + 6 + 1 + 4 + 2);
  t.Expect(std::getenv("WB_SUITE_JOURNAL") != nullptr, "WB_SUITE_JOURNAL is set");
  CoInitialize(nullptr);
  CheckErrors(t, std::wcscmp(argv[1], L"CHS") == 0);
  CheckModuleStateLife(t);
  CheckThreadExit(t);
  CoUninitialize();
  // The process must also end cleanly: the harness fails a crash at exit.
  return t.Finish();
}
