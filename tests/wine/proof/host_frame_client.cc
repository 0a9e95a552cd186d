// A host that runs inside a component's call, as a real host's handlers do
// while a component pumps messages: the reference suite's translation
// component calls back into this host (RefSuiteSetHostHook) in the middle of
// each lookup, under scenarios/host_frame.json, and the host then
//   - lets go of its last CWorkbench: the call still ends with its error
//     whole, and everything it held goes after it returns;
//   - calls DEVOVIZoruze again, and again from there: 64 levels enter, the
//     65th is refused with error 28, and each level gets its own answer.
// Run with and without the field trace (WORKBENCH_TRACE), whose wrappers
// are on the stack too.
#include <windows.h>

#include <cguid.h>
#include <initguid.h>

#include <string>
#include <vector>

#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal.h"

namespace {

using Microsoft::WRL::ComPtr;
using wbproof::HostError;

const HostError kFailed = {static_cast<HRESULT>(0x800A03E9), u"Finder",
                           u"Error calling the store function. Reason: Member database unreachable",
                           u"finder.chm", 42};
const HostError kTooDeep = {static_cast<HRESULT>(0x800A001C), u"Workbench", u"Out of stack space",
                            u"", 0};

struct Host {
  ComPtr<_CWorkbench> workbench;
  enum class Mode { kNone, kRelease, kCallIn } mode = Mode::kNone;
  int hooked = 0;
  std::vector<HostError> nested;  // innermost first
  bool refused = false;
};

void __stdcall OnHook(void* context) {
  auto& host = *static_cast<Host*>(context);
  ++host.hooked;
  if (host.mode == Host::Mode::kRelease) {
    host.workbench.Reset();
  } else if (host.mode == Host::Mode::kCallIn && !host.refused) {
    // A pointer of its own for the call, as any caller holds one.
    const ComPtr<_CWorkbench> workbench = host.workbench;
    const HostError got = wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
    host.refused = host.refused || got == kTooDeep;
    host.nested.push_back(got);
  }
}

}  // namespace

int wmain() {
  wbtest::Checks t;
  t.Plan(7);
  CoInitialize(nullptr);
  const std::wstring journal = wbproof::SuiteJournalPath();
  Host host;
  host.workbench = wbproof::NewWorkbench();
  // The first call loads the suite, whose hook this host then sets.
  const HostError first = host.workbench ? wbproof::CallVtable(host.workbench.Get(),
                                                               wbproof::kMemberLookup)
                                         : HostError{E_UNEXPECTED, {}, {}, {}, 0};
  t.Expect(first == kFailed, "a call without the hook gets the translated error",
           wbproof::Show(first));
  using SetHook = void(__stdcall*)(void(__stdcall*)(void*), void*);
  const HMODULE suite = GetModuleHandleW(L"RefSuite.dll");
  const auto set_hook = suite ? reinterpret_cast<SetHook>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(suite, "RefSuiteSetHostHook")))
                              : nullptr;
  if (set_hook == nullptr) {
    t.Expect(false, "the suite's hook", "RefSuiteSetHostHook not found");
    return t.Finish();
  }
  set_hook(&OnHook, &host);

  // Inside the call, the host lets go of its last object.
  host.mode = Host::Mode::kRelease;
  _CWorkbench* raw = host.workbench.Get();
  const HostError released = wbproof::CallVtable(raw, wbproof::kMemberLookup);
  t.Expect(host.hooked > 0 && !host.workbench, "the host let go of its last object inside the call");
  t.Expect(released == kFailed, "that call still ends with its error, all five fields",
           wbproof::Show(released));
  wbproof::AppendMark(journal, "released");
  const auto entries = wbproof::ReadJournal(journal);
  const std::string left = wbproof::Leftovers(wbproof::LivesIn(entries));
  t.Expect(left.empty(), "everything the call held went when it returned", left);
  t.Expect(wbproof::WorkbenchCanUnloadNow() == S_OK, "and Workbench.dll can be unloaded");

  // Inside the call, the host calls in again, deeper and deeper.
  host.mode = Host::Mode::kCallIn;
  host.workbench = wbproof::NewWorkbench();
  const HostError outer = wbproof::CallVtable(host.workbench.Get(), wbproof::kMemberLookup);
  const size_t refused_at = host.nested.empty() ? 0 : host.nested.size() - 1;
  bool levels_answered = outer == kFailed && host.nested.size() == 64;
  for (size_t i = 0; i < host.nested.size(); ++i)
    levels_answered = levels_answered && host.nested[i] == (i == 0 ? kTooDeep : kFailed);
  t.Expect(host.refused && refused_at == 63,
           "64 calls enter, one inside the other; the next is refused",
           "levels " + std::to_string(host.nested.size() + 1));
  t.Expect(levels_answered, "the refused one gets error 28, every other its own error",
           host.nested.empty() ? "none" : wbproof::Show(host.nested.front()));
  set_hook(nullptr, nullptr);
  host.workbench.Reset();
  CoUninitialize();
  return t.Finish();
}
