// A host that runs inside a component's call, as a real host's handlers do
// while a component pumps messages: under scenarios/host_frame.json the
// suite's translation component calls back into this host in the middle of
// each lookup and while it is released (RefSuiteSetHostHook), and the host
// then lets go of its last CWorkbench, or calls DEVOVIZoruze again, deeper
// and deeper, or calls in while the thread's state is torn down. Deeper still
// on a thread with little stack left, and through an id object whose default
// member calls in. Run with and without the field trace, whose wrappers are
// on the stack too.
#include <windows.h>

#include <cguid.h>
#include <initguid.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bridge/host_scope.h"
#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"
#include "tests/wine/proof/value_object.h"

namespace {

using wbproof::HostError;

const HostError kFailed = {static_cast<HRESULT>(0x800A03E9), u"Finder",
                           u"Error calling the store function. Reason: Member database unreachable",
                           u"finder.chm", 42};
const HostError kTooDeep = {static_cast<HRESULT>(0x800A001C), u"Workbench", u"Out of stack space",
                            u"", 0};

// What the host does when the suite calls it.
enum class Mode {
  kLetGo,       // lets go of its object
  kCallIn,      // calls in again, until refused
  kInTeardown,  // once: calls in with a new object of its own, and drops it
  kQuiet,       // nothing
};

struct Host {
  Microsoft::WRL::ComPtr<_CWorkbench> workbench;
  Mode mode = Mode::kLetGo;
  std::vector<HostError> nested;  // innermost first
  std::vector<uintptr_t> frames;  // the hook's frame at each level, outermost first
  bool refused = false;
};

void __stdcall OnHook(void* context) {
  auto& host = *static_cast<Host*>(context);
  switch (host.mode) {
    case Mode::kLetGo:
      host.workbench.Reset();
      break;
    case Mode::kCallIn:
      if (!host.refused) {
        host.frames.push_back(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
        const auto workbench = host.workbench;  // its own reference, as any caller
        host.nested.push_back(wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup));
        host.refused = host.refused || host.nested.back() == kTooDeep;
      }
      break;
    case Mode::kInTeardown: {
      host.mode = Mode::kQuiet;
      const auto workbench = wbproof::NewWorkbench();
      host.nested.push_back(wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup));
      break;
    }
    case Mode::kQuiet:
      break;
  }
}

using SetHook = void(__stdcall*)(void(__stdcall*)(void*), void*);

// The bytes of stack below the caller's frame, down to the reserve's end.
size_t StackLeft() {
  MEMORY_BASIC_INFORMATION region{};
  const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  VirtualQuery(reinterpret_cast<void*>(here), &region, sizeof region);
  return here - reinterpret_cast<uintptr_t>(region.AllocationBase);
}

// The checks whose code may crash the host, and the one under way.
constexpr char kTornDownCheck[] =
    "the host calls in while the thread's state is torn down: the call gets its error";
constexpr char kIdCheck[] =
    "an id whose default member calls in with itself: refused with error 28";
constexpr char kSmallStackCheck[] =
    "a thread with 64 KB of stack left calls in until refused with error 28, and lives";
const char* g_under_way = nullptr;

constexpr size_t kSmallStack = 64 * 1024;

struct SmallStackRun {
  SetHook set_hook = nullptr;
  Host host;
  HostError outer;
  size_t left = 0;               // at the outer call
  std::vector<HostError> reads;  // of the id object, innermost first
  LONG id_refs = -1;             // the id object's references left
  bool finished = false;         // the thread came to its end
};

__attribute__((noinline)) void CallInDeep(SmallStackRun& run) {
  run.left = StackLeft();
  run.outer = wbproof::CallVtable(run.host.workbench.Get(), wbproof::kMemberLookup);
}

// An id object whose default member calls in with itself: each reading of
// it is a level, refused like one.
__attribute__((noinline)) void ReadIdDeep(SmallStackRun& run) {
  wbproof::ValueObject id(wbproof::kMemberLookup);
  Microsoft::WRL::ComPtr<IDispatch> dispatch;
  run.host.workbench.As(&dispatch);
  const auto as_arg = [&id] {
    VARIANT arg;
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = &id;
    return arg;
  };
  id.on_read = [&] { run.reads.push_back(wbproof::CallDispatchWith(dispatch.Get(), as_arg())); };
  wbproof::CallDispatchWith(dispatch.Get(), as_arg());
  id.on_read = nullptr;
  run.id_refs = id.extra_refs();
}

// A host thread with only kSmallStack of stack left calls in until refused.
// Wine gives a thread 1 MB whatever it asks for: the rest is used up first.
DWORD WINAPI SmallStackThread(void* context) {
  auto& run = *static_cast<SmallStackRun*>(context);
  CoInitialize(nullptr);
  run.host.workbench = wbproof::NewWorkbench();
  run.host.mode = Mode::kCallIn;
  run.set_hook(&OnHook, &run.host);
  auto* used = static_cast<volatile char*>(alloca(StackLeft() - kSmallStack));
  used[0] = 1;
  CallInDeep(run);
  run.host.mode = Mode::kQuiet;
  g_under_way = kIdCheck;
  ReadIdDeep(run);
  run.set_hook(nullptr, nullptr);
  run.host.workbench.Reset();
  CoUninitialize();
  run.finished = true;
  return used[0];
}

// The deepest stack that one call used: the stack below this frame is filled
// with a pattern first, and read back after the call.
constexpr size_t kPainted = 256 * 1024;
__attribute__((noinline)) void Paint() {
  auto* area = static_cast<char*>(alloca(kPainted));
  std::memset(area, 0xA5, kPainted);
  __asm__ volatile("" : : "r"(area) : "memory");
}
__attribute__((noinline)) size_t DeepestUse(_CWorkbench* workbench) {
  const auto top = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  Paint();
  wbproof::CallVtable(workbench, wbproof::kMemberLookup);
  const auto* low = reinterpret_cast<const unsigned char*>(top - kPainted);
  size_t untouched = 0;
  while (untouched < kPainted && low[untouched] == 0xA5)
    ++untouched;
  return kPainted - untouched;
}

// A crash ends the process at once, rather than in Wine's crash handler: the
// harness counts the checks it never reached. (A stack overflow may end it
// before this runs, or hang its thread: see the wait for SmallStackThread.)
LONG WINAPI Crashed(EXCEPTION_POINTERS* info) {
  std::printf("# crashed with exception 0x%08lx during: %s\n",
              static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
              g_under_way ? g_under_way : "(between checks)");
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int wmain() {
  SetUnhandledExceptionFilter(&Crashed);
  wbtest::Checks t;
  t.Plan(10);
  CoInitialize(nullptr);
  Host host;
  host.workbench = wbproof::NewWorkbench();
  // The first call loads the suite; its hook is set after it.
  const HostError first = wbproof::CallVtable(host.workbench.Get(), wbproof::kMemberLookup);
  using SetHook = void(__stdcall*)(void(__stdcall*)(void*), void*);
  const HMODULE suite = GetModuleHandleW(L"RefSuite.dll");
  const auto set_hook = reinterpret_cast<SetHook>(
      reinterpret_cast<void (*)()>(suite ? GetProcAddress(suite, "RefSuiteSetHostHook") : nullptr));
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

  host.mode = Mode::kCallIn;
  host.workbench = wbproof::NewWorkbench();
  const HostError outer = wbproof::CallVtable(host.workbench.Get(), wbproof::kMemberLookup);
  t.ExpectEq(static_cast<long long>(host.nested.size()), 64,
             "the host calls in inside the call: 64 levels enter, the 65th is refused");
  bool answered = outer == kFailed && !host.nested.empty();
  for (size_t i = 0; i < host.nested.size(); ++i)
    answered = answered && host.nested[i] == (i == 0 ? kTooDeep : kFailed);
  t.Expect(answered, "the refused one gets error 28, every other its own error",
           host.nested.empty() ? "none" : wbproof::Show(host.nested.front()));
  size_t per_level = 0;
  for (size_t i = 1; i < host.frames.size(); ++i)
    per_level = std::max<size_t>(per_level, host.frames[i - 1] - host.frames[i]);
  std::printf("stack per level: %zu bytes at most\n", per_level);

  // The translation component pumps messages while it is released: the host
  // calls in with a new object while the thread's state is torn down.
  host.nested.clear();
  host.mode = Mode::kInTeardown;
  g_under_way = kTornDownCheck;
  host.workbench.Reset();
  g_under_way = nullptr;
  wbproof::AppendMark(journal, "torn down");
  t.Expect(host.nested.size() == 1 && host.nested[0] == kFailed, kTornDownCheck,
           host.nested.empty() ? "no call" : wbproof::Show(host.nested[0]));
  const std::string after = wbproof::Leftovers(wbproof::LivesIn(wbproof::ReadJournal(journal)));
  t.Expect(after.empty() && wbproof::WorkbenchCanUnloadNow() == S_OK,
           "what the host's call made inside the teardown went with it", after);

  // One call's deepest use of the stack, against what each call is given.
  host.mode = Mode::kQuiet;
  host.workbench = wbproof::NewWorkbench();
  const size_t deepest = DeepestUse(host.workbench.Get());
  std::printf("one call's deepest stack: %zu bytes; the margin: %zu\n", deepest,
              wb::kHostCallStackMargin);
  t.Expect(deepest > 0 && deepest < wb::kHostCallStackMargin,
           "one call needs less stack than the margin it is given",
           std::to_string(deepest) + " bytes");

  set_hook(nullptr, nullptr);
  host.workbench.Reset();

  SmallStackRun run;
  run.set_hook = set_hook;
  g_under_way = kSmallStackCheck;
  const HANDLE thread = CreateThread(nullptr, 0, &SmallStackThread, &run, 0, nullptr);
  const bool ended = thread && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
  if (thread && !(ended && run.finished)) {
    // Its stack overflowed: the thread hangs in Wine's handler or is gone.
    // The host is as good as dead, and ends as a crashed one does.
    std::printf("# the thread with little stack did not come to its end\n");
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  if (thread)
    CloseHandle(thread);
  g_under_way = nullptr;
  std::printf("a thread with %zu bytes left: %zu levels entered\n", run.left,
              run.host.nested.size());
  t.Expect(ended && run.left <= kSmallStack && (run.host.refused || run.outer == kTooDeep) &&
               run.host.nested.size() < static_cast<size_t>(wb::kMaxHostCallDepth),
           kSmallStackCheck,
           std::to_string(run.host.nested.size()) + " levels, outer " + wbproof::Show(run.outer));
  const std::vector<HostError>& reads = run.reads;
  t.Expect(ended && !reads.empty() && reads.size() <= static_cast<size_t>(wb::kMaxHostCallDepth) &&
               reads.front().hr == kTooDeep.hr && run.id_refs == 0,
           kIdCheck,
           std::to_string(reads.size()) + " reads" +
               (reads.empty() ? "" : ", innermost " + wbproof::Show(reads.front())));
  CoUninitialize();
  return t.Finish();
}
