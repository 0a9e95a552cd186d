// A host that runs inside a component's call, as a real host's handlers do
// while a component pumps messages: under scenarios/host_frame.json the
// suite's translation component calls back into this host in the middle of
// each lookup (RefSuiteSetHostHook), and the host then lets go of its last
// CWorkbench, or calls DEVOVIZoruze again, deeper and deeper. Run with and
// without the field trace, whose wrappers are on the stack too.
#include <windows.h>

#include <cguid.h>
#include <initguid.h>

#include <string>
#include <vector>

#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"

namespace {

using wbproof::HostError;

const HostError kFailed = {static_cast<HRESULT>(0x800A03E9), u"Finder",
                           u"Error calling the store function. Reason: Member database unreachable",
                           u"finder.chm", 42};
const HostError kTooDeep = {static_cast<HRESULT>(0x800A001C), u"Workbench", u"Out of stack space",
                            u"", 0};

struct Host {
  Microsoft::WRL::ComPtr<_CWorkbench> workbench;
  bool call_in = false;           // else: let go of the object
  std::vector<HostError> nested;  // innermost first
  bool refused = false;
};

void __stdcall OnHook(void* context) {
  auto& host = *static_cast<Host*>(context);
  if (!host.call_in) {
    host.workbench.Reset();
  } else if (!host.refused) {
    const auto workbench = host.workbench;  // its own reference, as any caller
    host.nested.push_back(wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup));
    host.refused = host.refused || host.nested.back() == kTooDeep;
  }
}

}  // namespace

int wmain() {
  wbtest::Checks t;
  t.Plan(5);
  CoInitialize(nullptr);
  Host host;
  host.workbench = wbproof::NewWorkbench();
  // The first call loads the suite; its hook is set after it.
  const HostError first = wbproof::CallVtable(host.workbench.Get(), wbproof::kMemberLookup);
  using SetHook = void(__stdcall*)(void(__stdcall*)(void*), void*);
  const HMODULE suite = GetModuleHandleW(L"RefSuite.dll");
  const auto set_hook = reinterpret_cast<SetHook>(reinterpret_cast<void (*)()>(
      suite ? GetProcAddress(suite, "RefSuiteSetHostHook") : nullptr));
  t.Expect(first == kFailed && set_hook, "a call gets its error; the suite offers its hook",
           wbproof::Show(first));
  if (set_hook == nullptr)
    return t.Finish();
  set_hook(&OnHook, &host);

  const HostError released = wbproof::CallVtable(host.workbench.Get(), wbproof::kMemberLookup);
  t.Expect(!host.workbench && released == kFailed,
           "the host lets go of its last object inside the call: the call ends with its error",
           wbproof::Show(released));
  const std::wstring journal = wbproof::SuiteJournalPath();
  wbproof::AppendMark(journal, "released");
  const std::string left = wbproof::Leftovers(wbproof::LivesIn(wbproof::ReadJournal(journal)));
  t.Expect(left.empty() && wbproof::WorkbenchCanUnloadNow() == S_OK,
           "everything the call held went when it returned", left);

  host.call_in = true;
  host.workbench = wbproof::NewWorkbench();
  const HostError outer = wbproof::CallVtable(host.workbench.Get(), wbproof::kMemberLookup);
  t.ExpectEq(static_cast<long long>(host.nested.size()), 64,
             "the host calls in inside the call: 64 levels enter, the 65th is refused");
  bool answered = outer == kFailed && !host.nested.empty();
  for (size_t i = 0; i < host.nested.size(); ++i)
    answered = answered && host.nested[i] == (i == 0 ? kTooDeep : kFailed);
  t.Expect(answered, "the refused one gets error 28, every other its own error",
           host.nested.empty() ? "none" : wbproof::Show(host.nested.front()));
  set_hook(nullptr, nullptr);
  host.workbench.Reset();
  CoUninitialize();
  return t.Finish();
}
