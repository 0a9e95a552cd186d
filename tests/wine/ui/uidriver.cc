// uidriver: the command-line program that drives a console window of another
// process (with console_remote.h), one command after another. Under Wine a
// menu belongs to its process, so the menu bar is read in process, by
// console_client. The commands:
//   wait-window <class> <caption> <timeout-ms>   find the window (must be first;
//                          caption * takes any caption)
//   menu <id>              post a menu command (for tools that open a box)
//   menu-sync <id>         send a menu command and wait until it is handled
//   log-text               print the log box's text
//   notice-close <ms>      wait for a message box of the window's process,
//                          print "title: ..." and "text: ..." and close it
//   resize <w> <h>         size the window's inner area in pixels
//   rect                   print the log box's rectangle (client pixels)
//   open-menu <n>          open the n-th menu of the bar (1 = leftmost)
//   key <vk>               post a key press (27 = Escape)
//   sleep <ms>             wait
//   close                  close the window as the desktop does
//   wait-gone <ms>         wait until the window is gone
// Output is UTF-8. The exit code is the number of the first command that
// failed (0 when all succeeded).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "tests/wine/ui/console_remote.h"
#include "win/scoped_local_alloc.h"

namespace {

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "uidriver: %s\n", what.c_str());
}

}  // namespace

int main() {
  int argc = 0;
  const wb::win::ScopedLocalAllocTyped<wchar_t*> args(CommandLineToArgvW(GetCommandLineW(), &argc));
  if (!args)
    return 1;
  wchar_t* const* const argv = args.Get();
  HWND window = nullptr;
  DWORD pid = 0;
  int command = 0;
  for (int i = 1; i < argc; ++i) {
    ++command;
    const std::wstring verb = argv[i];
    const auto arg = [&](int k) -> std::wstring { return i + k < argc ? argv[i + k] : L""; };
    const auto number = [&](int k) {
      return static_cast<int>(wcstol(arg(k).c_str(), nullptr, 10));
    };
    bool ok = true;
    if (verb == L"wait-window") {
      const std::wstring caption = arg(2);
      window = wbui::WaitWindow(arg(1).c_str(), caption == L"*" ? nullptr : caption.c_str(), 0,
                                static_cast<DWORD>(number(3)));
      i += 3;
      ok = window != nullptr;
      if (ok)
        GetWindowThreadProcessId(window, &pid);
    } else if (window == nullptr) {
      Fail("no window: start with wait-window");
      ok = false;
    } else if (verb == L"menu") {
      ok = wbui::PostMenu(window, number(1));
      i += 1;
    } else if (verb == L"menu-sync") {
      ok = wbui::SendMenu(window, number(1), 10000);
      i += 1;
    } else if (verb == L"log-text") {
      const auto text = wbui::LogText(window, 10000);
      ok = text.has_value();
      if (ok)
        Print(wbui::Utf8(*text));
    } else if (verb == L"notice-close") {
      const auto notice = wbui::CloseNotice(pid, static_cast<DWORD>(number(1)));
      i += 1;
      ok = notice.has_value();
      if (ok) {
        Print("title: " + wbui::Utf8(notice->title));
        Print("text: " + wbui::Utf8(notice->text));
      }
    } else if (verb == L"resize") {
      ok = wbui::ResizeClient(window, number(1), number(2));
      i += 2;
    } else if (verb == L"rect") {
      const auto rect = wbui::LogRect(window);
      ok = rect.has_value();
      if (ok) {
        Print(std::to_string(rect->left) + " " + std::to_string(rect->top) + " " +
              std::to_string(rect->right - rect->left) + " " +
              std::to_string(rect->bottom - rect->top));
      }
    } else if (verb == L"open-menu") {
      // The keyboard's way in: the menu bar, then right to the n-th menu and
      // down into its popup.
      ok = PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, 0) != FALSE;
      Sleep(300);
      for (int k = 1; k < number(1); ++k)
        PostMessageW(window, WM_KEYDOWN, VK_RIGHT, 0);
      PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
      Sleep(300);
      i += 1;
    } else if (verb == L"key") {
      ok = PostMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(number(1)), 0) != FALSE;
      i += 1;
    } else if (verb == L"sleep") {
      Sleep(static_cast<DWORD>(number(1)));
      i += 1;
    } else if (verb == L"close") {
      ok = wbui::CloseWindow(window);
    } else if (verb == L"wait-gone") {
      ok = wbui::WaitGone(window, static_cast<DWORD>(number(1)));
      i += 1;
    } else {
      Fail("unknown command " + wbui::Utf8(verb));
      ok = false;
    }
    if (!ok) {
      Fail("command " + std::to_string(command) + " (" + wbui::Utf8(verb) + ") failed");
      return command;
    }
  }
  return 0;
}
