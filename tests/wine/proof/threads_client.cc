// Apartment threads of one process, each with its own CWorkbench and its own
// current language (CHS or ENG, set on the suite's language component for
// that thread alone), making thousands of failing calls at the same time.
// Each thread must see exactly its own language's descriptions; each releases
// its objects, uninitializes COM and ends; the process then exits with 0
// (the harness also fails a crash at exit).
//   threads_client.exe languages [calls per thread]
// with WB_SUITE_SCENARIO naming scenarios/threads.json (whose own language,
// FRA, has no texts: a thread that did not get its language shows it) and
// WB_SUITE_JOURNAL a fresh file.
//   threads_client.exe alone
// One host thread in a process that has no other apartment: it calls the
// class (no component involved), uninitializes COM, so that COM lets
// Workbench.dll go, and ends; the process must end cleanly.
//   threads_client.exe apartments
// with WB_SUITE_SCENARIO naming scenarios/threads.json: a host thread of the
// multithreaded apartment creates the class (COM makes it in an apartment of
// its own and hands back a proxy, marshaled through the registered type
// library), and an object made here reaches another apartment through the
// global interface table; each calls with success and with an error whose
// five fields must arrive whole, through the table of methods and through
// IDispatch::Invoke, and releases it.
#include <windows.h>

#include <cguid.h>
#include <initguid.h>
#include <oleauto.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "win/scoped_handle.h"
#include "win/scoped_variant.h"
#include "win/wide_text.h"
#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"

namespace {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedHandle;
using wbproof::HostError;
using wbtest::Checks;

constexpr int kThreads = 4;
constexpr long kDefaultCalls = 2000;

// The ids each thread cycles through: three failing store functions and one
// id outside the table.
constexpr LONG kCycle[] = {wbproof::kLoyaltyPlan, wbproof::kReceiptRoll, wbproof::kMemberLookup,
                           wbproof::kNoFunction};

HostError Expected(LONG id, bool english) {
  const wb::String prefix =
      english ? u"Error calling the store function. Reason: " : u"调用门店函数出错。原因：";
  switch (id) {
    case wbproof::kLoyaltyPlan:
      return {static_cast<HRESULT>(0x800A04D2), u"Loyalty",
              prefix + (english ? u"Points scheme unavailable" : u"积分方案不可用"), u"loyalty.chm",
              42};
    case wbproof::kReceiptRoll:
      return {static_cast<HRESULT>(0x800A0005), u"ReceiptRoll", prefix, u"", 0};
    case wbproof::kMemberLookup:
      return {E_FAIL, u"Finder", prefix + (english ? u"**WaitToBeTranslated**" : u"查无此会员"),
              u"", 0};
    default:
      return {};
  }
}

struct Host {
  bool english = false;
  long calls = 0;
  HANDLE start = nullptr;
  // Results, read by the main thread after the join.
  bool language_set = false;
  bool created = false;
  long wrong = 0;
  std::string first_wrong;
  long failing_calls = 0;
  long blank_descriptions = 0;
};

// Sets the calling thread's current language on the suite's language
// component: CurrentLanguage assigned through IDispatch.
bool SetThreadLanguage(const wchar_t* language) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"Polyglot.LocaleState", &clsid)))
    return false;
  ComPtr<IDispatch> locale;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locale))))
    return false;
  LPOLESTR name = const_cast<LPOLESTR>(L"CurrentLanguage");
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(locale->GetIDsOfNames(IID_NULL, &name, 1, 0, &dispid)))
    return false;
  wb::win::ScopedVariant value(wb::win::AsStringView(language));
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params = {value.AsInput(), &put, 1, 1};
  return SUCCEEDED(locale->Invoke(dispid, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                                  nullptr, nullptr));
}

DWORD WINAPI HostThread(void* context) {
  Host& host = *static_cast<Host*>(context);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    host.language_set = SetThreadLanguage(host.english ? L"ENG" : L"CHS");
    WaitForSingleObject(host.start, 30000);
    ComPtr<_CWorkbench> workbench = wbproof::NewWorkbench();
    host.created = static_cast<bool>(workbench);
    ComPtr<IDispatch> dispatch;
    if (workbench)
      workbench.As(&dispatch);
    for (long i = 0; workbench && dispatch && i < host.calls; ++i) {
      const LONG id = kCycle[i % 4];
      // Every other round goes through IDispatch, as script hosts call.
      const HostError got = (i / 4) % 2 ? wbproof::CallDispatch(dispatch.Get(), id)
                                        : wbproof::CallVtable(workbench.Get(), id);
      if (id != wbproof::kNoFunction)
        ++host.failing_calls;
      if (id == wbproof::kReceiptRoll)
        ++host.blank_descriptions;
      if (got != Expected(id, host.english) && host.wrong++ == 0)
        host.first_wrong = "call " + std::to_string(i) + ": " + wbproof::Show(got);
    }
  }
  CoUninitialize();
  return host.wrong == 0 ? 0 : 1;
}

// Per language: how often the thread's loader was set to it and how many
// lookups were made.
void CheckJournal(Checks& t, const std::vector<Host>& hosts) {
  const std::vector<wbproof::Entry> entries = wbproof::ReadJournal(wbproof::SuiteJournalPath());
  const wbproof::Lives lives = wbproof::LivesIn(entries);
  t.Expect(!lives.created.empty() && wbproof::Leftovers(lives).empty(),
           "journal: every instance of every thread released",
           lives.created.empty() ? "the journal shows no instance" : wbproof::Leftovers(lives));
  const auto created = [&lives](const char* prog_id) {
    auto it = lives.created.find(prog_id);
    return it == lives.created.end() ? 0 : it->second;
  };
  t.ExpectEq(created("Phrasebook.Catalog"), kThreads, "journal: one loader per thread");
  // One per thread to set its language and one cached by its translation.
  t.ExpectEq(created("Polyglot.LocaleState"), 2 * kThreads,
             "journal: one language component per thread for the translation");
  int set_eng = 0, set_chs = 0, load_strings = 0;
  for (const wbproof::Entry& e : entries) {
    const std::string member = wbproof::Text(e, "member");
    if (wbproof::Text(e, "event") == "let" && member == "LanguageID" && e["args"].size() == 1) {
      const std::string value = e["args"][0].value("value", std::string());
      set_eng += value == "ENG";
      set_chs += value == "CHS";
    }
    if (wbproof::Text(e, "event") == "get" && member == "LoadString")
      ++load_strings;
  }
  long expected_lookups = 0;
  for (const Host& host : hosts) {
    if (host.english)
      expected_lookups += 2 * host.failing_calls - host.blank_descriptions;
  }
  t.ExpectEq(set_eng, kThreads / 2, "journal: the ENG threads' loaders were set to ENG once each");
  t.ExpectEq(set_chs, kThreads / 2, "journal: the CHS threads' loaders were set to CHS once each");
  t.ExpectEq(
      load_strings, expected_lookups,
      "journal: lookups only for the ENG threads' texts (2 a call, 1 for a blank description)");
}

// The languages run: every thread has its own apartment and ends after its
// CoUninitialize, the DLLs it used being let go by COM.
void RunLanguages(Checks& t, long calls) {
  t.Expect(!wbproof::SuiteJournalPath().empty(), "WB_SUITE_JOURNAL is set");
  CoInitialize(nullptr);
  const ScopedHandle start(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::vector<Host> hosts(kThreads);
  std::vector<ScopedHandle> threads;
  std::vector<HANDLE> waitable;  // the same handles, as WaitForMultipleObjects takes them
  for (int i = 0; i < kThreads; ++i) {
    hosts[i].english = i % 2 == 1;
    hosts[i].calls = calls;
    hosts[i].start = start.Get();
    ScopedHandle thread(CreateThread(nullptr, 0, HostThread, &hosts[i], 0, nullptr));
    if (thread) {
      waitable.push_back(thread.Get());
      threads.push_back(std::move(thread));
    }
  }
  t.ExpectEq(static_cast<long long>(threads.size()), kThreads, "threads: all started");
  const DWORD started = GetTickCount();
  SetEvent(start.Get());
  const DWORD waited = waitable.empty()
                           ? WAIT_FAILED
                           : WaitForMultipleObjects(static_cast<DWORD>(waitable.size()),
                                                    waitable.data(), TRUE, 240000);
  std::printf("# %d threads x %ld calls in %.2f s\n", kThreads, calls,
              (GetTickCount() - started) / 1000.0);
  t.Expect(waited < WAIT_OBJECT_0 + threads.size(), "threads: all ended in time");
  for (size_t i = 0; i < threads.size(); ++i) {
    const Host& host = hosts[i];
    const std::string name =
        "thread " + std::to_string(i) + " (" + (host.english ? "ENG" : "CHS") + "): ";
    DWORD code = 99;
    GetExitCodeThread(threads[i].Get(), &code);
    t.Expect(host.language_set && host.created, name + "language set, CWorkbench created");
    t.Expect(host.wrong == 0, name + "every description exactly its own language's",
             std::to_string(host.wrong) + " wrong, first " + host.first_wrong);
    t.ExpectEq(code, 0, name + "ended after CoUninitialize with code 0");
  }
  CheckJournal(t, hosts);
  CoUninitialize();
}

DWORD WINAPI LoneThread(void* used) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ComPtr<_CWorkbench> workbench = wbproof::NewWorkbench();
    *static_cast<bool*>(used) =
        workbench && wbproof::CallVtable(workbench.Get(), wbproof::kNoFunction).hr == S_OK;
  }
  CoUninitialize();
  return 0;
}

void RunAlone(Checks& t) {
  bool used = false;
  const ScopedHandle thread(CreateThread(nullptr, 0, LoneThread, &used, 0, nullptr));
  const DWORD waited = thread ? WaitForSingleObject(thread.Get(), 30000) : WAIT_FAILED;
  DWORD code = 99;
  if (thread)
    GetExitCodeThread(thread.Get(), &code);
  t.Expect(used, "alone: the thread created and called a CWorkbench");
  t.Expect(waited == WAIT_OBJECT_0 && code == 0,
           "alone: the thread ended after COM let Workbench.dll go");
}

// Uses an object of another apartment: made by COM for this thread of the
// multithreaded apartment (`cookie` 0), or handed on through the global
// interface table. scenarios/threads.json's language, FRA, has no texts.
struct Use {
  const char* label;
  DWORD cookie;
  Checks* t;
};

DWORD WINAPI UseThread(void* param) {
  const Use& use = *static_cast<Use*>(param);
  const HostError plan = {static_cast<HRESULT>(0x800A04D2), u"Loyalty",
                          u"**WaitToBeTranslated****WaitToBeTranslated**", u"loyalty.chm", 42};
  CoInitializeEx(nullptr, use.cookie ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED);
  {
    ComPtr<_CWorkbench> workbench = use.cookie ? nullptr : wbproof::NewWorkbench();
    ComPtr<IGlobalInterfaceTable> table;
    if (use.cookie && SUCCEEDED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr,
                                                 CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table))))
      table->GetInterfaceFromGlobal(use.cookie, IID_PPV_ARGS(&workbench));
    // A proxy answers for its channel's security.
    ComPtr<IClientSecurity> proxy;
    const std::string label = use.label;
    use.t->Expect(workbench && SUCCEEDED(workbench.As(&proxy)), label + ": arrives as a proxy");
    const auto call = [&](LONG id, bool late) {
      return !workbench ? HostError{E_POINTER, {}, {}, {}, 0}
             : late     ? wbproof::CallDispatch(workbench.Get(), id)
                        : wbproof::CallVtable(workbench.Get(), id);
    };
    use.t->Expect(call(wbproof::kNoFunction, false) == HostError{}, label + ": a call succeeds");
    // Wine's channel carries no IErrorInfo between apartments (Windows' does):
    // by the table of methods the status alone is checked here.
    const HostError vtable = call(wbproof::kLoyaltyPlan, false), late = call(wbproof::kLoyaltyPlan, true);
    use.t->Expect(vtable.hr == plan.hr, label + ": an error's status by the table of methods",
                  wbproof::Show(vtable));
    use.t->Expect(late == plan, label + ": an error's five fields by IDispatch::Invoke",
                  wbproof::Show(late));
  }
  CoUninitialize();
  return 0;
}

// Runs `use` on a thread of its own while this apartment serves its calls.
void RunUse(Use use) {
  const ScopedHandle thread(CreateThread(nullptr, 0, UseThread, &use, 0, nullptr));
  HANDLE waited = thread.Get();
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (thread && GetTickCount64() < deadline &&
         MsgWaitForMultipleObjects(1, &waited, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  }
}

void RunApartments(Checks& t) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  RunUse({"a thread of the multithreaded apartment", 0, &t});
  ComPtr<IGlobalInterfaceTable> table;
  CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                   IID_PPV_ARGS(&table));
  DWORD cookie = 0;
  if (ComPtr<_CWorkbench> mine = wbproof::NewWorkbench(); table && mine)
    table->RegisterInterfaceInGlobal(mine.Get(), IID__CWorkbench, &cookie);
  RunUse({"another apartment, through the global interface table", cookie, &t});
  if (cookie)
    table->RevokeInterfaceFromGlobal(cookie);
  table.Reset();
  t.Expect(wbproof::WorkbenchCanUnloadNow() == S_OK, "apartments: every object was released");
  CoUninitialize();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Checks t;
  if (argc >= 2 && std::wcscmp(argv[1], L"alone") == 0) {
    t.Plan(2);
    RunAlone(t);
  } else if (argc >= 2 && std::wcscmp(argv[1], L"apartments") == 0) {
    t.Plan(2 * 4 + 1);
    RunApartments(t);
  } else if (argc >= 2 && std::wcscmp(argv[1], L"languages") == 0) {
    t.Plan(3 + 3 * kThreads + 6);  // the run, each thread, the journal
    RunLanguages(t, argc > 2 ? std::wcstol(argv[2], nullptr, 10) : kDefaultCalls);
  } else {
    t.Expect(false, "arguments", "usage: threads_client languages [calls] | alone | apartments");
  }
  // The harness fails a non-zero exit and anything from Wine's crash handler.
  return t.Finish();
}
