// The console under Wine, driven from a second thread of the process that
// opens it: the window, its menu bar read back, every tool clicked, the log
// box's lines, the notices, the layout after resizing, and closing by the
// exit tool and by the desktop. Every console opens over windows of a host of
// its own, to which it is modal: for every way a console ends (exit tool,
// WM_CLOSE, SC_CLOSE, a quit posted to the thread, a failed load) the host's
// windows are disabled while it is open and come back as they were, with the
// activation; also a console over another one, and two threads each with a
// host and a console. With --com the console is opened through
// Workbench.CWorkbench (registered) instead of the linked ShowWorkbenchForm.
// Either way the suite's components are the registered reference suite's,
// whose journal file --journal names. With --bench N it also times N log
// appends. With --host it only opens one console for uidriver to drive from
// outside.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bridge/convert.h"
#include "bridge/thread_state.h"
#include "console/console.h"
#include "core/err.h"
#include "core/platform.h"
#include "core/trap.h"
#include "launchers/modpublic.h"
#include "tests/wine/lib/checks.h"
#include "tests/wine/ui/console_remote.h"
#include "tests/wine/ui/journal_file.h"
#include "win/scoped_generic.h"
#include "win/scoped_handle.h"

namespace {

using wbtest::Checks;
using wbtest::Hex;

constexpr DWORD kWaitMs = 10000;

struct Options {
  bool com = false;
  std::string journal;     // with --com: the reference suite's journal file
  bool host_only = false;  // open one console for another process to drive
  int bench = 0;
};

// ---- Opening the console ----------------------------------------------------

// Through the entry class's IDispatch, as an automation client does.
HRESULT ShowThroughCom() {
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(L"Workbench.CWorkbench", &clsid);
  if (FAILED(hr))
    return hr;
  Microsoft::WRL::ComPtr<IDispatch> workbench;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&workbench));
  if (FAILED(hr))
    return hr;
  wchar_t name[] = L"ShowWorkbenchForm";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  hr = workbench->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr))
    return hr;
  DISPPARAMS none{};
  return workbench->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                           nullptr, nullptr);
}

// Opens a console on the calling thread, linked or through COM; the failure
// as text, empty when the call succeeded.
std::string OpenConsole(const Options& options) {
  if (options.com) {
    const HRESULT hr = ShowThroughCom();
    return FAILED(hr) ? "HRESULT " + std::to_string(static_cast<long>(hr)) : std::string();
  }
  const wb::ErrRecord err = wb::CaptureError([] { wb::console::ShowWorkbenchForm(); });
  if (err.number == 0)
    return std::string();
  return "Err " + std::to_string(err.number) + " (" + wb::ToUtf8(err.source) +
         "): " + wb::ToUtf8(err.description);
}

// Opens the console on this thread while `script` drives it from another;
// `script` gets an event that is set when the opening call has returned.
// Returns the opening's failure (empty on success).
std::string OpenWhileDriving(const Options& options,
                             const std::function<void(HANDLE returned)>& script) {
  const wb::win::ScopedHandle returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  struct Context {
    const std::function<void(HANDLE)>* script;
    HANDLE returned;
  } context{&script, returned.Get()};
  const wb::win::ScopedHandle driver(CreateThread(
      nullptr, 0,
      [](void* p) WINAPI -> DWORD {
        auto* c = static_cast<Context*>(p);
        (*c->script)(c->returned);
        return 0;
      },
      &context, 0, nullptr));
  const std::string failure = OpenConsole(options);
  SetEvent(returned.Get());
  WaitForSingleObject(driver.Get(), INFINITE);
  return failure;
}

void ExpectReturned(Checks& checks, const std::string& failure, const std::string& label = {}) {
  checks.Expect(failure.empty(), label + "ShowWorkbenchForm returns without error", failure);
}

// Gives up on a console that does not close: the process would hang.
[[noreturn]] void Abandon(Checks& checks, const char* what) {
  checks.Expect(false, what, "timed out; abandoning the run");
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(checks.Finish()));
  ExitProcess(1);
}

// ---- The host's own windows ---------------------------------------------------

struct WindowTraits {
  static HWND InvalidValue() noexcept { return nullptr; }
  static void Free(HWND window) noexcept { DestroyWindow(window); }
};
using ScopedWindow = wb::win::ScopedGeneric<HWND, WindowTraits>;

struct HookTraits {
  static HHOOK InvalidValue() noexcept { return nullptr; }
  static void Free(HHOOK hook) noexcept { UnhookWindowsHookEx(hook); }
};
using ScopedHook = wb::win::ScopedGeneric<HHOOK, HookTraits>;

constexpr wchar_t kHostClass[] = L"WorkbenchTestHost";

// Posted to a host window (disabled ones take posted messages too): its
// handler opens a console, as a host's menu or timer handler would while a
// console is already open. lParam is the NestedOpening.
constexpr UINT kOpenNested = WM_APP + 1;

struct NestedOpening {
  const Options* options;
  HANDLE returned;
  std::string failure;
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kOpenNested) {
    auto* opening = reinterpret_cast<NestedOpening*>(lparam);
    try {
      opening->failure = OpenConsole(*opening->options);
    } catch (...) {
      opening->failure = "exception";
    }
    SetEvent(opening->returned);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

ScopedWindow MakeHostWindow(const wchar_t* title) {
  static const ATOM registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kHostClass;
    return RegisterClassExW(&wc);
  }();
  (void)registered;
  return ScopedWindow(CreateWindowExW(0, kHostClass, title, WS_OVERLAPPEDWINDOW, 40, 40, 320, 200,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
}

// The windows of a host on the thread that opens consoles: its main window
// (shown, active), another window it shows, stacked above the main one but not
// active (where the desktop would send the activation), a window it shows and
// has disabled itself, and a hidden one. Made and destroyed on that thread.
struct HostWindows {
  ScopedWindow main = MakeHostWindow(L"host");
  ScopedWindow other = MakeHostWindow(L"host, another window");
  ScopedWindow own_disabled = MakeHostWindow(L"host, disabled by the host");
  ScopedWindow hidden = MakeHostWindow(L"host, hidden");

  HostWindows() {
    ShowWindow(own_disabled.Get(), SW_SHOWNOACTIVATE);
    EnableWindow(own_disabled.Get(), FALSE);
    ShowWindow(other.Get(), SW_SHOWNOACTIVATE);
    ShowWindow(main.Get(), SW_SHOWNORMAL);
    Reset();
  }
  // As made, the main window active: every row starts from here, whatever
  // the one before left.
  void Reset() const {
    EnableWindow(main.Get(), TRUE);
    EnableWindow(other.Get(), TRUE);
    SetForegroundWindow(main.Get());
    SetActiveWindow(main.Get());
    SetWindowPos(other.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  bool Disabled() const { return !IsWindowEnabled(main.Get()) && !IsWindowEnabled(other.Get()); }
  bool AsTheHostLeftThem() const {
    return IsWindowEnabled(main.Get()) && IsWindowEnabled(other.Get()) &&
           !IsWindowEnabled(own_disabled.Get()) && IsWindowEnabled(hidden.Get()) &&
           !IsWindowVisible(hidden.Get());
  }
};

// A window of another thread, standing in for another application: were the
// host's windows still disabled when a console goes, the desktop would hand
// the activation to it. Its thread runs its messages until it is closed.
class Bystander {
 public:
  Bystander()
      : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        thread_(CreateThread(nullptr, 0, &Bystander::Run, this, 0, nullptr)) {
    WaitForSingleObject(ready_.Get(), kWaitMs);
  }
  ~Bystander() {
    if (window_)
      PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_.Get(), kWaitMs);
  }
  HWND window() const { return window_; }

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<Bystander*>(param);
    const ScopedWindow window = MakeHostWindow(L"another application");
    ShowWindow(window.Get(), SW_SHOWNOACTIVATE);
    self->window_ = window.Get();
    SetEvent(self->ready_.Get());
    MSG msg;
    while (IsWindow(window.Get()) && GetMessageW(&msg, nullptr, 0, 0) > 0)
      DispatchMessageW(&msg);
    return 0;
  }

  wb::win::ScopedHandle ready_;
  HWND window_ = nullptr;
  wb::win::ScopedHandle thread_;
};

// Waits for `condition` to hold, at most kWaitMs.
bool Eventually(const std::function<bool()>& condition) {
  const ULONGLONG end = GetTickCount64() + kWaitMs;
  while (!condition()) {
    if (GetTickCount64() >= end)
      return false;
    Sleep(20);
  }
  return true;
}

// Waits for `event`, at most kWaitMs, running the thread's messages meanwhile
// (its windows answer other threads, as a host's loop would).
bool WaitPumping(HANDLE event) {
  const ULONGLONG end = GetTickCount64() + kWaitMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end)
      return false;
    const DWORD woke =
        MsgWaitForMultipleObjects(1, &event, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0)
      return true;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  }
}

// ---- Reading the log ----------------------------------------------------------

struct LogLine {
  std::wstring text;
  std::wstring stamp;
};

std::vector<LogLine> Lines(const std::wstring& log, bool* well_formed) {
  std::vector<LogLine> lines;
  *well_formed = true;
  size_t start = 0;
  while (start < log.size()) {
    const size_t end = log.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      *well_formed = false;
      break;
    }
    const std::wstring line = log.substr(start, end - start);
    const size_t tab = line.rfind(L'\t');
    if (tab == std::wstring::npos) {
      *well_formed = false;
    } else {
      lines.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    start = end + 2;
  }
  return lines;
}

std::wstring StampNow() {
  return std::wstring(wb::win::AsWideView(wb::platform::DateToText(wb::platform::Now())));
}

// ---- The first opening: everything a tester does ------------------------------

struct ToolCase {
  int id;
  const wchar_t* name;
  // Entries that the suite's journal must show for the click, in this order
  // (each found as a part of an entry); no entries at all when empty.
  std::vector<std::string> journal;
  const wchar_t* notice = nullptr;  // the whole text of the notice it shows
  const char* absent = nullptr;     // a component that the click must not touch
};

// The suite's journal in the short form of tests/support/journal_line.h;
// the session's user name is the suite's default.
std::vector<ToolCase> ToolCases() {
  const std::string pid = std::to_string(GetCurrentProcessId());
  const std::string user =
      "get CtxStore.SessionBag.GetProperty(ByRef Long " + pid + ", ByRef String \"UserName\")";
  return {
      {1,
       L"mnuVIP_ViewAll",
       {"create Finder.OneRecordPick", "let Finder.OneRecordPick.ClassTypeID = Long 1005001",
        "let Finder.OneRecordPick.classTypeFilter = String \" FBillTypeID=1 AND FID>0 \"",
        "let Finder.OneRecordPick.ShowType = Integer 0", "call Finder.OneRecordPick.Show()",
        "release Finder.OneRecordPick"}},
      {2, L"mnuVIP", {}},
      // The scheme's component fails: the error ends the click inside the
      // console, which stays open and shows nothing.
      {3,
       L"mnuVIP_Sheme",
       {"create Loyalty.CPlan", "call Loyalty.CPlan.Show()", "release Loyalty.CPlan"}},
      // The points query is refused: a notice, and no points component.
      {4,
       L"mnuVIP_ViewScore",
       {"get Gatekeeper.RightsDesk.AccessCheck(",
        "ByRef Long 2811, ByRef Long 3, ByRef Long 2097152)"},
       L"您没有查询积分的权限",
       "Loyalty.CPoints"},
      {5, L"mnuOther", {}},
      // Run after the console's load: the branch component gets DataBaseType 1.
      {7,
       L"mnuSet_Offset",
       {"create BranchLink.ClsLink", "let BranchLink.ClsLink.DataBaseType = Integer 1",
        "ByRef Long 2812, ByRef Long 1, ByRef Long 2097152)",
        "call BranchLink.ClsLink.InitSetting()", "release BranchLink.ClsLink"}},
      {8, L"mnuSet", {}},
      {9,
       L"mnuOther_Bill",
       {"create ReceiptRoll.CReceiptRoll", "call ReceiptRoll.CReceiptRoll.Showform()",
        "release ReceiptRoll.CReceiptRoll"}},
      {10,
       L"mnuOther_HotKey",
       {"create TillGuide.CKeyMap", "call TillGuide.CKeyMap.ShowHELP()",
        "release TillGuide.CKeyMap"}},
      // The console reads the user name before the day-end launcher runs.
      {11,
       L"mnuOther_ReckoningDaily",
       {user, "create DayClose.CDayCloseRun", "let DayClose.CDayCloseRun.checktype = Integer 1",
        "let DayClose.CDayCloseRun.User = String \"店长01\"",
        "get DayClose.CDayCloseRun.ShowReckoning(ByRef String \"RUBO\", ByRef Boolean false)",
        "release DayClose.CDayCloseRun"},
       L"日结完成"},
      {12,
       L"mnuOther_ReckoningDailyOver",
       {user, "create DayClose.CDayCloseRun",
        "get DayClose.CDayCloseRun.ShowReckoning(ByRef String \"RUBO\", ByRef Boolean true)",
        "release DayClose.CDayCloseRun"},
       L"反日结失败\r\n数据库忙"},
  };
}

// Whether `want` appears in `journal` in order: each as part of an entry,
// and an entry may hold several that follow each other.
bool JournalShows(const std::vector<std::string>& journal, const std::vector<std::string>& want) {
  if (want.empty())
    return journal.empty();
  size_t next = 0;
  for (const std::string& entry : journal) {
    size_t at = 0;
    while (next < want.size() && (at = entry.find(want[next], at)) != std::string::npos) {
      at += want[next].size();
      ++next;
    }
  }
  return next == want.size();
}

std::string Joined(const std::vector<std::string>& entries) {
  std::string out;
  for (const std::string& e : entries)
    out += "\n    " + e;
  return out;
}

constexpr char kExpectedMenu[] =
    "VIP管理 [2]\n"
    "  VIP维护 [1]\n"
    "  查看积分 [4]\n"
    "  ----\n"
    "  积分方案设置 [3]\n"
    "设置 [8]\n"
    "  分支机构 [7]\n"
    "其他 [5]\n"
    "  查看前台快捷键 [10]\n"
    "  小票领用 [9]\n"
    "  ----\n"
    "  日结 [11]\n"
    "  反日结 [12]\n"
    "  ----\n"
    "  退出 [6]\n";

int ScreenDpi(int index) {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, index);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int Px(double twips, int dpi) {
  return static_cast<int>(twips * dpi / 1440.0 + 0.5);
}

void CheckLayout(Checks& checks, HWND console, const char* what) {
  RECT client{};
  GetClientRect(console, &client);
  const int dx = ScreenDpi(LOGPIXELSX);
  const int dy = ScreenDpi(LOGPIXELSY);
  const double sw = client.right * 1440.0 / dx;
  const double sh = client.bottom * 1440.0 / dy;
  RECT want{Px(50, dx), Px(50, dy), 0, 0};
  want.right = want.left + (sw > 100 ? Px(sw - 100, dx) : Px(sw, dx));
  want.bottom = want.top + (sh > 100 ? Px(sh - 100, dy) : 0);
  const auto got = wbui::LogRect(console);
  const auto text = [](const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
  };
  checks.Expect(got && EqualRect(&*got, &want), std::string("log box laid out: ") + what,
                "got " + (got ? text(*got) : std::string("none")) + ", want " + text(want) +
                    " in client " + std::to_string(client.right) + "x" +
                    std::to_string(client.bottom));
}

void CheckLastLine(Checks& checks,
                   HWND console,
                   const wchar_t* name,
                   size_t count,
                   const std::wstring& before,
                   const std::wstring& after,
                   const std::string& session = {}) {
  const auto log = wbui::LogText(console, kWaitMs);
  bool well_formed = false;
  const auto lines = Lines(log.value_or(L""), &well_formed);
  const std::string label = session + "click " + wbui::Utf8(name);
  checks.Expect(well_formed && lines.size() == count, label + " writes one log line",
                std::to_string(lines.size()) + " lines, want " + std::to_string(count));
  if (lines.size() != count)
    return;
  const LogLine& last = lines.back();
  checks.Expect(last.text == L"You click: " + std::wstring(name), label + " logs its name",
                wbui::Utf8(last.text));
  checks.Expect(last.stamp == before || last.stamp == after, label + " stamps the line",
                "stamp \"" + wbui::Utf8(last.stamp) + "\", around \"" + wbui::Utf8(before) + "\"");
}

void Bench(Checks& checks, HWND console, int appends) {
  const size_t lines_before = [&] {
    bool ok = false;
    return Lines(wbui::LogText(console, kWaitMs).value_or(L""), &ok).size();
  }();
  LARGE_INTEGER freq{}, t0{}, t1{};
  QueryPerformanceFrequency(&freq);
  double first_ms = 0, last_ms = 0;
  const int block = appends >= 2000 ? 1000 : appends / 2;
  bool sent = true;
  for (int i = 0; i < appends && sent; ++i) {
    if (i == 0 || i == appends - block)
      QueryPerformanceCounter(&t0);
    sent = wbui::SendMenu(console, 2, kWaitMs);
    if (i == block - 1 || i == appends - 1) {
      QueryPerformanceCounter(&t1);
      const double ms = (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart;
      (i == block - 1 ? first_ms : last_ms) = ms;
    }
  }
  checks.Expect(sent, "bench: every click handled in time");
  const auto log = wbui::LogText(console, 30000);
  bool well_formed = false;
  const auto lines = Lines(log.value_or(L""), &well_formed);
  bool in_order = well_formed && lines.size() == lines_before + static_cast<size_t>(appends);
  for (size_t i = lines_before; in_order && i < lines.size(); ++i) {
    in_order = lines[i].text == L"You click: mnuVIP";
  }
  std::printf("# bench: %d appends; first %d: %.1f ms, last %d: %.1f ms; log %zu chars\n", appends,
              block, first_ms, block, last_ms, log ? log->size() : 0);
  checks.Expect(in_order, "bench: every appended line present, in order",
                std::to_string(lines.size()) + " lines");
  // A whole-text rewrite per append grows with the text; an append at the
  // end does not.
  checks.Expect(last_ms < first_ms * 5 + 500, "bench: late appends cost as much as early ones",
                std::to_string(last_ms) + " ms vs " + std::to_string(first_ms) + " ms");
  checks.ExpectEq(wbui::LogFirstVisibleLine(console, kWaitMs).value_or(-1), 0,
                  "bench: appending does not scroll the log box");
}

// The journal of the reference suite, read from its file; none without one.
using TakeJournal = std::function<std::vector<std::string>()>;

void FirstSession(Checks& checks,
                  const Options& options,
                  const TakeJournal& journal_of_suite,
                  HANDLE returned) {
  const DWORD pid = GetCurrentProcessId();
  const HWND console = wbui::WaitWindow(wbui::kConsoleClass, wbui::kConsoleCaption, pid, kWaitMs);
  checks.Expect(console != nullptr, "the console window opens with the caption 主界面");
  if (console == nullptr)
    Abandon(checks, "console window");

  RECT client{};
  GetClientRect(console, &client);
  checks.ExpectEq(client.right, Px(8160, ScreenDpi(LOGPIXELSX)), "inner width is 8160 twips");
  checks.ExpectEq(client.bottom, Px(5130, ScreenDpi(LOGPIXELSY)),
                  "inner height is 5130 twips, the menu bar outside it");
  // Opened while the host's main window was active: owned by it, as a
  // dialog box is, so that it never falls behind the window it disables.
  const HWND host_main = FindWindowW(kHostClass, L"host");
  checks.Expect(host_main != nullptr && GetWindow(console, GW_OWNER) == host_main,
                "the console is owned by the host's main window",
                "owner " + Hex(GetWindow(console, GW_OWNER)) + ", host " + Hex(host_main));

  const auto menu = wbui::DumpMenu(console);
  const std::string dumped = menu ? wbui::FormatMenu(*menu) : "(unreadable)";
  checks.Expect(dumped == kExpectedMenu, "menu bar: captions, ids, popups and dividers",
                "\n" + dumped);

  const HWND edit = wbui::LogBox(console);
  wchar_t cls[32] = {};
  GetClassNameW(edit, cls, 32);
  const LONG style = GetWindowLongW(edit, GWL_STYLE);
  checks.Expect(
      _wcsicmp(cls, L"Edit") == 0 && (style & ES_MULTILINE) && !(style & (WS_VSCROLL | WS_HSCROLL)),
      "the log box is a multi-line edit without scroll bars");
  checks.Expect(wbui::LogText(console, kWaitMs) == std::wstring(), "the log starts empty");
  CheckLayout(checks, console, "design size");

  size_t count = 0;
  if (journal_of_suite)
    journal_of_suite();
  for (const ToolCase& tool : ToolCases()) {
    const std::string label = "click " + wbui::Utf8(tool.name);
    const std::wstring before = StampNow();
    if (tool.notice) {
      wbui::PostMenu(console, tool.id);
      const auto notice = wbui::CloseNotice(pid, kWaitMs);
      checks.Expect(notice.has_value(), label + " shows a notice");
      if (!notice)
        Abandon(checks, "notice");
      checks.Expect(notice->title == L"青禾提示", label + ": notice title",
                    wbui::Utf8(notice->title));
      checks.Expect(notice->text == tool.notice, label + ": notice text", wbui::Utf8(notice->text));
      checks.Expect(notice->owner == console && notice->enabled,
                    label + ": the console owns the notice, which takes input");
      // Handled once the window answers again.
      checks.Expect(wbui::SendMenu(console, 0, kWaitMs), label + ": the click returns");
    } else {
      const bool handled = wbui::SendMenu(console, tool.id, kWaitMs);
      checks.Expect(handled && !wbui::NoticeOpen(pid), label + " returns without a notice");
      if (!handled)
        Abandon(checks, "click");
    }
    CheckLastLine(checks, console, tool.name, ++count, before, StampNow());
    if (journal_of_suite) {
      const auto journal = journal_of_suite();
      bool touched = false;
      for (const std::string& entry : journal) {
        touched = touched || (tool.absent && entry.find(tool.absent) != std::string::npos);
      }
      checks.Expect(JournalShows(journal, tool.journal) && !touched,
                    label + ": the suite's journal", Joined(journal));
    }
  }

  if (options.bench > 0)
    Bench(checks, console, options.bench);

  wbui::ResizeClient(console, 700, 400);
  CheckLayout(checks, console, "after a resize");
  wbui::ResizeClient(console, 5, 5);
  CheckLayout(checks, console, "inner area under 100 twips");
  wbui::ResizeClient(console, 544, 342);
  CheckLayout(checks, console, "back to design size");

  // The exit tool logs its click and unloads the console.
  const HWND edit_before = wbui::LogBox(console);
  wbui::PostMenu(console, 6);
  const bool closed = WaitForSingleObject(returned, kWaitMs) == WAIT_OBJECT_0;
  checks.Expect(closed, "the exit tool closes the console and ShowWorkbenchForm returns");
  if (!closed)
    Abandon(checks, "exit tool");
  checks.Expect(!IsWindow(console) && !IsWindow(edit_before), "the window is gone");
}

// ---- The second opening: a fresh window, closed from the desktop ---------------

void SecondSession(Checks& checks, HANDLE returned) {
  const HWND console =
      wbui::WaitWindow(wbui::kConsoleClass, wbui::kConsoleCaption, GetCurrentProcessId(), kWaitMs);
  checks.Expect(console != nullptr, "a second opening shows a window again");
  if (console == nullptr)
    Abandon(checks, "second window");
  checks.Expect(wbui::LogText(console, kWaitMs) == std::wstring(),
                "a second opening starts with an empty log");
  const std::wstring before = StampNow();
  wbui::SendMenu(console, 5, kWaitMs);
  CheckLastLine(checks, console, L"mnuOther", 1, before, StampNow(), "second opening: ");
  wbui::CloseWindow(console);
  const bool closed = WaitForSingleObject(returned, kWaitMs) == WAIT_OBJECT_0;
  checks.Expect(closed, "closing from the desktop returns from ShowWorkbenchForm");
  if (!closed)
    Abandon(checks, "desktop close");
}

// ---- Modal to the host: every way of closing -----------------------------------

// The window class that the load-failure rows refuse, through a CBT hook of
// the opening thread.
const wchar_t* g_refused_class = nullptr;

LRESULT CALLBACK RefuseCreation(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && g_refused_class != nullptr) {
    wchar_t cls[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(wparam), cls, 64);
    if (_wcsicmp(cls, g_refused_class) == 0)
      return 1;
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

struct CloseWay {
  const char* name;
  // Closes the open console; nullptr when the load fails and none opens.
  void (*close)(HWND console, DWORD thread);
  // The load fails: the window of this class cannot be created.
  const wchar_t* refused_class;
  // For a quit posted to the thread: the code left for the host's loop.
  int quit_code;
};

const CloseWay kCloseWays[] = {
    {"closed by the exit tool", [](HWND console, DWORD) { wbui::PostMenu(console, 6); }, nullptr,
     0},
    {"closed by the close box (WM_CLOSE)", [](HWND console, DWORD) { wbui::CloseWindow(console); },
     nullptr, 0},
    {"closed by the system menu (SC_CLOSE)",
     [](HWND console, DWORD) { PostMessageW(console, WM_SYSCOMMAND, SC_CLOSE, 0); }, nullptr, 0},
    {"closed by a quit posted to the thread",
     [](HWND, DWORD thread) { PostThreadMessageW(thread, WM_QUIT, 42, 0); }, nullptr, 42},
    {"the load fails: no window", nullptr, wbui::kConsoleClass, 0},
    {"the load fails: no log box", nullptr, L"Edit", 0},
};

// Opens a console over the host's windows and closes it `way`: the host's
// usable windows are disabled while it is open and the console is active;
// afterwards they are as the host left them and its main window is active.
void CloseRow(Checks& checks,
              const Options& options,
              const HostWindows& host,
              const CloseWay& way) {
  const std::string label = std::string(way.name) + ": ";
  const DWORD thread = GetCurrentThreadId();
  host.Reset();
  ScopedHook hook;
  if (way.refused_class) {
    g_refused_class = way.refused_class;
    hook.Reset(SetWindowsHookExW(WH_CBT, &RefuseCreation, nullptr, thread));
  }
  const std::string failure = OpenWhileDriving(options, [&](HANDLE returned) {
    if (way.close == nullptr)
      return;
    const HWND console = wbui::WaitThreadWindow(wbui::kConsoleClass, thread, nullptr, kWaitMs);
    if (console == nullptr)
      Abandon(checks, (label + "the console opens").c_str());
    checks.Expect(host.Disabled() && IsWindowEnabled(console),
                  label + "the host's windows are disabled while the console is open");
    checks.Expect(IsWindowEnabled(host.hidden.Get()), label + "a hidden window is not touched");
    checks.Expect(Eventually([&] { return wbui::ActiveWindowOf(thread) == console; }),
                  label + "the console is the active window",
                  "active " + Hex(wbui::ActiveWindowOf(thread)) + ", console " + Hex(console));
    way.close(console, thread);
    if (WaitForSingleObject(returned, kWaitMs) != WAIT_OBJECT_0)
      Abandon(checks, (label + "the console closes").c_str());
  });
  hook.Reset();
  g_refused_class = nullptr;
  if (way.close) {
    ExpectReturned(checks, failure, label);
  } else {
    checks.Expect(!failure.empty(), label + "ShowWorkbenchForm raises an error");
  }
  checks.Expect(host.AsTheHostLeftThem(),
                label + "the host's windows are as it left them: its own disabled one stays so");
  checks.Expect(GetActiveWindow() == host.main.Get() && GetForegroundWindow() == host.main.Get(),
                label + "the host's window is active again, in the foreground",
                "active " + Hex(GetActiveWindow()) + ", foreground " + Hex(GetForegroundWindow()) +
                    ", host " + Hex(host.main.Get()));
  MSG quit{};
  const bool quit_left = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
  if (way.quit_code != 0) {
    checks.Expect(quit_left && quit.wParam == static_cast<WPARAM>(way.quit_code),
                  label + "the quit is left for the host's loop");
  }
}

// A console opened from a host window's handler while another console of the
// thread is open: it disables the first console and gives it back, enabled
// and active; the host's window stays disabled until the first one closes.
void NestedRow(Checks& checks, const Options& options, const HostWindows& host) {
  const DWORD thread = GetCurrentThreadId();
  host.Reset();
  const std::string failure = OpenWhileDriving(options, [&](HANDLE returned) {
    const HWND outer = wbui::WaitThreadWindow(wbui::kConsoleClass, thread, nullptr, kWaitMs);
    if (outer == nullptr)
      Abandon(checks, "nested: the first console opens");
    const wb::win::ScopedHandle nested_returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    NestedOpening opening{&options, nested_returned.Get(), {}};
    PostMessageW(host.main.Get(), kOpenNested, 0, reinterpret_cast<LPARAM>(&opening));
    const HWND inner = wbui::WaitThreadWindow(wbui::kConsoleClass, thread, outer, kWaitMs);
    if (inner == nullptr)
      Abandon(checks, "nested: a console opens over the first");
    checks.Expect(!IsWindowEnabled(outer) && IsWindowEnabled(inner) && host.Disabled(),
                  "nested: the second console disables the first; the host's window stays so");
    checks.Expect(Eventually([&] { return wbui::ActiveWindowOf(thread) == inner; }),
                  "nested: the second console is the active window");
    wbui::PostMenu(inner, 6);
    if (WaitForSingleObject(nested_returned.Get(), kWaitMs) != WAIT_OBJECT_0)
      Abandon(checks, "nested: the second console closes");
    ExpectReturned(checks, opening.failure, "nested: the second ");
    checks.Expect(IsWindowEnabled(outer) && host.Disabled(),
                  "nested: closing the second enables the first, not the host's window");
    checks.Expect(wbui::ActiveWindowOf(thread) == outer,
                  "nested: the first console is active again",
                  "active " + Hex(wbui::ActiveWindowOf(thread)) + ", console " + Hex(outer));
    wbui::CloseWindow(outer);
    if (WaitForSingleObject(returned, kWaitMs) != WAIT_OBJECT_0)
      Abandon(checks, "nested: the first console closes");
  });
  ExpectReturned(checks, failure, "nested: the first ");
  checks.Expect(host.AsTheHostLeftThem() && GetActiveWindow() == host.main.Get(),
                "nested: closing the first gives the host its windows and the activation back");
}

// A host on a thread of its own: its window, and a console opened over it
// once `open` is set.
struct OtherHost {
  const Options* options;
  HANDLE ready;     // set when its window is up
  HANDLE open;      // set by the driver
  HANDLE returned;  // set when its opening call has returned
  HWND window = nullptr;
  DWORD thread = 0;
  std::string failure = "not opened";
  // Read on its own thread once the console has returned, before the window
  // goes with the thread.
  bool enabled_after_close = false;
};

DWORD WINAPI RunOtherHost(void* param) {
  auto* other = static_cast<OtherHost*>(param);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    const ScopedWindow window = MakeHostWindow(L"host of the other thread");
    ShowWindow(window.Get(), SW_SHOWNORMAL);
    other->window = window.Get();
    other->thread = GetCurrentThreadId();
    SetEvent(other->ready);
    if (WaitPumping(other->open)) {
      other->failure = OpenConsole(*other->options);
      other->enabled_after_close = IsWindowEnabled(window.Get()) != FALSE;
    }
    SetEvent(other->returned);
  }
  if (SUCCEEDED(com))
    CoUninitialize();
  return 0;
}

// Two threads, each with a host window and a console: each console disables
// its own thread's windows only.
void TwoThreadsRow(Checks& checks, const Options& options, const HostWindows& host) {
  const DWORD thread = GetCurrentThreadId();
  host.Reset();
  const wb::win::ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const wb::win::ScopedHandle open(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const wb::win::ScopedHandle other_returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OtherHost other{&options, ready.Get(), open.Get(), other_returned.Get()};
  const std::string failure = OpenWhileDriving(options, [&](HANDLE returned) {
    const HWND mine = wbui::WaitThreadWindow(wbui::kConsoleClass, thread, nullptr, kWaitMs);
    if (mine == nullptr)
      Abandon(checks, "two threads: the first console opens");
    const wb::win::ScopedHandle runner(CreateThread(nullptr, 0, &RunOtherHost, &other, 0, nullptr));
    if (WaitForSingleObject(ready.Get(), kWaitMs) != WAIT_OBJECT_0)
      Abandon(checks, "two threads: the other host's window");
    checks.Expect(IsWindowEnabled(other.window) && host.Disabled(),
                  "two threads: a console leaves another thread's host window enabled");
    SetEvent(open.Get());
    const HWND theirs = wbui::WaitThreadWindow(wbui::kConsoleClass, other.thread, nullptr, kWaitMs);
    if (theirs == nullptr)
      Abandon(checks, "two threads: the other console opens");
    checks.Expect(!IsWindowEnabled(other.window) && IsWindowEnabled(mine) && host.Disabled(),
                  "two threads: the other console disables its own host window, not this "
                  "thread's console");
    wbui::PostMenu(theirs, 6);
    if (WaitForSingleObject(other_returned.Get(), kWaitMs) != WAIT_OBJECT_0)
      Abandon(checks, "two threads: the other console closes");
    ExpectReturned(checks, other.failure, "two threads: the other thread's ");
    checks.Expect(other.enabled_after_close && host.Disabled(),
                  "two threads: closing the other console enables its host window only");
    WaitForSingleObject(runner.Get(), kWaitMs);
    wbui::PostMenu(mine, 6);
    if (WaitForSingleObject(returned, kWaitMs) != WAIT_OBJECT_0)
      Abandon(checks, "two threads: the first console closes");
  });
  ExpectReturned(checks, failure, "two threads: this thread's ");
  checks.Expect(host.AsTheHostLeftThem(), "two threads: this thread's host windows come back");
}

// The checks that RunAll reports, part by part in its order.
int Planned(const Options& options, bool journal) {
  int tools = 0;
  for (const ToolCase& tool : ToolCases())
    tools += (tool.notice ? 5 : 1) + 3 + (journal ? 1 : 0);
  int close_rows = 0;
  for (const CloseWay& way : kCloseWays)
    close_rows += way.close ? 6 + (way.quit_code != 0 ? 1 : 0) : 3;
  const int first = 8 + tools + (options.bench > 0 ? 4 : 0) + 5;
  return (options.com ? 0 : 2) + 2 + first + 1 + 6 + close_rows + 7 + 6;
}

void RunAll(const Options& options, Checks& checks, const TakeJournal& journal_of_suite) {
  checks.Plan(Planned(options, static_cast<bool>(journal_of_suite)));
  if (!options.com) {
    checks.ExpectEq(wb::modpublic::gDataBaseType(), 0, "gDataBaseType is 0 before any console");
  }
  const Bystander bystander;
  const HostWindows host;
  checks.Expect(bystander.window() && host.main && host.other && host.own_disabled && host.hidden &&
                    GetActiveWindow() == host.main.Get() &&
                    GetWindow(host.other.Get(), GW_HWNDNEXT) == host.main.Get(),
                "the host's windows are up, its main window active with another one above it, "
                "beside another application's window");
  ExpectReturned(checks,
                 OpenWhileDriving(options,
                                  [&](HANDLE returned) {
                                    FirstSession(checks, options, journal_of_suite, returned);
                                  }),
                 "first opening: ");
  if (!options.com) {
    checks.ExpectEq(wb::modpublic::gDataBaseType(), 1,
                    "the console's load set gDataBaseType to 1; it stays after closing");
  }
  ExpectReturned(
      checks, OpenWhileDriving(options, [&](HANDLE returned) { SecondSession(checks, returned); }),
      "second opening: ");
  for (const CloseWay& way : kCloseWays)
    CloseRow(checks, options, host, way);
  NestedRow(checks, options, host);
  TwoThreadsRow(checks, options, host);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--com")
      options.com = true;
    if (arg == "--host")
      options.host_only = true;
    if (arg == "--journal" && i + 1 < argc)
      options.journal = argv[++i];
    if (arg == "--bench" && i + 1 < argc)
      options.bench = std::atoi(argv[++i]);
  }
  Checks checks;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    checks.Expect(false, "CoInitializeEx");
    return checks.Finish();
  }
  {
    // Stands for the entry class instance that calls ShowWorkbenchForm: the
    // thread's module state outlives each console.
    wb::ThreadStateUser host;
    if (options.host_only) {
      checks.Plan(1);
      ExpectReturned(checks, OpenWhileDriving(options, [](HANDLE) {}));
    } else {
      wbui::JournalFile file(options.journal);
      TakeJournal journal_of_suite;
      if (!options.journal.empty())
        journal_of_suite = [&file] { return file.Take(); };
      RunAll(options, checks, journal_of_suite);
    }
  }
  CoUninitialize();
  return checks.Finish();
}
