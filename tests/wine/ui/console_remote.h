// Drives a console window from outside its thread (another thread of the same
// process, or another process): find it, click its menu, read its log box and
// its notice boxes, resize and close it. Every wait has a time limit.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win/wide_text.h"

namespace wbui {

inline constexpr wchar_t kConsoleClass[] = L"WorkbenchConsole";
inline constexpr wchar_t kConsoleCaption[] = L"主界面";
inline constexpr int kLogBoxId = 100;

using wb::win::Utf8;
using wb::win::Wide;

// The top-level window of `cls` and `caption` (of process `pid` when not 0),
// or nullptr after `timeout_ms`.
HWND WaitWindow(const wchar_t* cls, const wchar_t* caption, DWORD pid, DWORD timeout_ms);

// A visible top-level window of `cls` that belongs to thread `thread` and is
// not `except`, or nullptr after `timeout_ms`.
HWND WaitThreadWindow(const wchar_t* cls, DWORD thread, HWND except, DWORD timeout_ms);

// The thread's active window (nullptr when it has none or cannot be read).
HWND ActiveWindowOf(DWORD thread);

// Waits until `hwnd` is no longer a window; false on time-out.
bool WaitGone(HWND hwnd, DWORD timeout_ms);

// One item of a menu, read back from the window's menu bar.
struct MenuEntry {
  int level = 0;  // 0: the menu bar, 1: a popup
  bool separator = false;
  UINT id = 0;
  std::wstring caption;
  bool opens_popup = false;
};
// The menu bar and its popups, depth first; nullopt when it cannot be read
// (another process's menu, under Wine).
std::optional<std::vector<MenuEntry>> DumpMenu(HWND window);
// One line per entry: "<indent><caption> [id]" or "<indent>----".
std::string FormatMenu(const std::vector<MenuEntry>& entries);

// Posts a menu command (returns at once; needed when it opens a box).
bool PostMenu(HWND window, int id);
// Sends a menu command and waits until the click has been handled.
bool SendMenu(HWND window, int id, DWORD timeout_ms);

// The log box and its whole text (WM_GETTEXT works across processes).
HWND LogBox(HWND window);
std::optional<std::wstring> LogText(HWND window, DWORD timeout_ms);
// The first line shown by the log box.
std::optional<int> LogFirstVisibleLine(HWND window, DWORD timeout_ms);

// The log box's rectangle in the window's client coordinates (pixels).
std::optional<RECT> LogRect(HWND window);
// Sizes the window so that its client area is `width` by `height` pixels.
bool ResizeClient(HWND window, int width, int height);

// A message box of process `pid`: its title and text. `owner` is the window
// that owns it; `enabled` whether the box itself took input.
struct Notice {
  std::wstring title;
  std::wstring text;
  HWND owner = nullptr;
  bool enabled = false;
};
// Waits for a message box of `pid`, reads it and closes it with IDOK.
std::optional<Notice> CloseNotice(DWORD pid, DWORD timeout_ms);
// Whether a message box of `pid` is open now.
bool NoticeOpen(DWORD pid);

// Asks the window to close (as the desktop's close button does).
bool CloseWindow(HWND window);

}  // namespace wbui
