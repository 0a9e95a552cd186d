// Times the log box's append on its own: N lines into the console's edit
// control, appended at the end (as the console does) or, with --whole, by
// assigning the whole text each time. Reports the first and last 1000
// appends and checks that every line is there, in order.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/edit_log_box_win.h"
#include "core/err.h"
#include "tests/wine/lib/checks.h"

namespace {

double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER freq{};
  QueryPerformanceFrequency(&freq);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / freq.QuadPart;
}

wb::String Line(int i) {
  const std::string text =
      "You click: mnuVIP line " + std::to_string(i) + "\t2026/12/8 17:00:00\r\n";
  return wb::String(text.begin(), text.end());
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageW(&msg);
}

}  // namespace

int main(int argc, char** argv) {
  int appends = 20000;
  bool whole = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--whole")
      whole = true;
    else
      appends = std::atoi(argv[i]);
  }
  wbtest::Checks checks;
  checks.Plan(2);
  const HWND frame = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     560, 400, nullptr, nullptr, nullptr, nullptr);
  const HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", wb::console::EditLogBox::kStyle,
                                    3, 3, 537, 335, frame, nullptr, nullptr, nullptr);
  wb::console::EditLogBox log(edit);
  Pump();

  const int block = appends >= 2000 ? 1000 : appends / 2;
  double first_ms = 0;
  double last_ms = 0;
  wb::String expected;
  LARGE_INTEGER t0{}, t1{};
  for (int i = 0; i < appends; ++i) {
    if (i == 0 || i == appends - block)
      QueryPerformanceCounter(&t0);
    const wb::String line = Line(i);
    expected += line;
    if (whole) {
      SetWindowTextW(edit, reinterpret_cast<const wchar_t*>(expected.c_str()));
    } else {
      log.Append(line);
    }
    Pump();
    if (i == block - 1 || i == appends - 1) {
      QueryPerformanceCounter(&t1);
      (i == block - 1 ? first_ms : last_ms) = Ms(t0, t1);
    }
  }
  std::printf("# %s: %d appends; first %d: %.1f ms, last %d: %.1f ms; %zu chars\n",
              whole ? "whole-text set" : "append at end", appends, block, first_ms, block, last_ms,
              expected.size());
  checks.Expect(log.Text() == expected, "every line present, in order");
  checks.ExpectEq(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0,
                  "the view stays at the first line");
  DestroyWindow(frame);
  return checks.Finish();
}
