#include "tests/wine/ui/console_remote.h"

namespace wbui {

namespace {

constexpr DWORD kPollMs = 20;

template <class Found>
bool Poll(DWORD timeout_ms, Found&& found) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (found())
      return true;
    if (GetTickCount64() >= end)
      return false;
    Sleep(kPollMs);
  }
}

struct WindowQuery {
  const wchar_t* cls;
  const wchar_t* caption;
  DWORD pid;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
  auto* query = reinterpret_cast<WindowQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (query->pid != 0 && pid != query->pid)
    return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (wcscmp(cls, query->cls) != 0)
    return TRUE;
  if (query->caption) {
    wchar_t caption[256] = {};
    GetWindowTextW(hwnd, caption, 256);
    if (wcscmp(caption, query->caption) != 0)
      return TRUE;
  }
  query->found = hwnd;
  return FALSE;
}

HWND FindTopLevel(const wchar_t* cls, const wchar_t* caption, DWORD pid) {
  WindowQuery query{cls, caption, pid};
  EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

struct ThreadQuery {
  const wchar_t* cls;
  HWND except;
  HWND found = nullptr;
};

BOOL CALLBACK MatchThreadWindow(HWND hwnd, LPARAM param) {
  auto* query = reinterpret_cast<ThreadQuery*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (hwnd == query->except || wcscmp(cls, query->cls) != 0 || !IsWindowVisible(hwnd))
    return TRUE;
  query->found = hwnd;
  return FALSE;
}

void DumpPopup(HMENU menu, int level, std::vector<MenuEntry>& out, bool& ok) {
  const int count = GetMenuItemCount(menu);
  if (count < 0) {
    ok = false;
    return;
  }
  for (int i = 0; i < count && ok; ++i) {
    wchar_t caption[128] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    item.dwTypeData = caption;
    item.cch = 128;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) {
      ok = false;
      return;
    }
    MenuEntry entry;
    entry.level = level;
    entry.separator = (item.fType & MFT_SEPARATOR) != 0;
    entry.id = item.wID;
    entry.caption = entry.separator ? L"" : caption;
    entry.opens_popup = item.hSubMenu != nullptr;
    out.push_back(entry);
    if (item.hSubMenu)
      DumpPopup(item.hSubMenu, level + 1, out, ok);
  }
}

}  // namespace

HWND WaitWindow(const wchar_t* cls, const wchar_t* caption, DWORD pid, DWORD timeout_ms) {
  HWND found = nullptr;
  Poll(timeout_ms, [&] {
    found = FindTopLevel(cls, caption, pid);
    return found != nullptr && IsWindowVisible(found);
  });
  return found && IsWindowVisible(found) ? found : nullptr;
}

HWND WaitThreadWindow(const wchar_t* cls, DWORD thread, HWND except, DWORD timeout_ms) {
  ThreadQuery query{cls, except};
  Poll(timeout_ms, [&] {
    EnumThreadWindows(thread, &MatchThreadWindow, reinterpret_cast<LPARAM>(&query));
    return query.found != nullptr;
  });
  return query.found;
}

HWND ActiveWindowOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) ? info.hwndActive : nullptr;
}

bool WaitGone(HWND hwnd, DWORD timeout_ms) {
  return Poll(timeout_ms, [&] { return !IsWindow(hwnd); });
}

std::optional<std::vector<MenuEntry>> DumpMenu(HWND window) {
  const HMENU bar = GetMenu(window);
  if (bar == nullptr)
    return std::nullopt;
  std::vector<MenuEntry> entries;
  bool ok = true;
  DumpPopup(bar, 0, entries, ok);
  if (!ok)
    return std::nullopt;
  return entries;
}

std::string FormatMenu(const std::vector<MenuEntry>& entries) {
  std::string out;
  for (const MenuEntry& e : entries) {
    out += std::string(static_cast<size_t>(e.level) * 2, ' ');
    out += e.separator ? "----" : Utf8(e.caption) + " [" + std::to_string(e.id) + "]";
    out += "\n";
  }
  return out;
}

bool PostMenu(HWND window, int id) {
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
}

bool SendMenu(HWND window, int id, DWORD timeout_ms) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, timeout_ms,
                             &result) != 0;
}

HWND LogBox(HWND window) {
  return GetDlgItem(window, kLogBoxId);
}

std::optional<std::wstring> LogText(HWND window, DWORD timeout_ms) {
  const HWND edit = LogBox(window);
  if (edit == nullptr)
    return std::nullopt;
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, timeout_ms, &length)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_NORMAL, timeout_ms, &copied)) {
    return std::nullopt;
  }
  text.resize(copied);
  return text;
}

std::optional<int> LogFirstVisibleLine(HWND window, DWORD timeout_ms) {
  DWORD_PTR line = 0;
  if (!SendMessageTimeoutW(LogBox(window), EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_NORMAL, timeout_ms,
                           &line)) {
    return std::nullopt;
  }
  return static_cast<int>(line);
}

std::optional<RECT> LogRect(HWND window) {
  const HWND edit = LogBox(window);
  RECT rect{};
  if (edit == nullptr || !GetWindowRect(edit, &rect))
    return std::nullopt;
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool ResizeClient(HWND window, int width, int height) {
  RECT outer{};
  RECT client{};
  if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client))
    return false;
  const int extra_w = (outer.right - outer.left) - client.right;
  const int extra_h = (outer.bottom - outer.top) - client.bottom;
  return SetWindowPos(window, nullptr, 0, 0, width + extra_w, height + extra_h,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

std::optional<Notice> CloseNotice(DWORD pid, DWORD timeout_ms) {
  // Read once it is up: visible, with its text in place.
  HWND box = nullptr;
  if (!Poll(timeout_ms, [&] {
        box = FindTopLevel(L"#32770", nullptr, pid);
        return box != nullptr && IsWindowVisible(box) && GetDlgItem(box, 0xFFFF) != nullptr &&
               GetWindowTextLengthW(box) > 0;
      })) {
    return std::nullopt;
  }
  Notice notice;
  wchar_t title[512] = {};
  GetWindowTextW(box, title, 512);
  notice.title = title;
  // The text is the static control 0xFFFF; another process's control answers
  // WM_GETTEXT, not GetWindowText.
  const HWND text = GetDlgItem(box, 0xFFFF);
  if (text) {
    std::wstring buffer(4096, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(text, WM_GETTEXT, buffer.size(),
                            reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL, 2000, &copied)) {
      buffer.resize(copied);
      notice.text = buffer;
    }
  }
  notice.owner = GetWindow(box, GW_OWNER);
  notice.enabled = IsWindowEnabled(box) != FALSE;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  WaitGone(box, timeout_ms);
  return notice;
}

bool NoticeOpen(DWORD pid) {
  return FindTopLevel(L"#32770", nullptr, pid) != nullptr;
}

bool CloseWindow(HWND window) {
  return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
}

}  // namespace wbui
