// noticewatch: answers the message boxes that other processes show, so that
// a host driven without a person never waits on one. Each box is read (title,
// text, icon), written to the output file as one UTF-8 line, and closed with
// OK:
//   <title> TAB <text, CR LF written as \n> TAB <icon: stop|exclamation|information|question|none>
//   TAB <front|behind: whether it is the foreground window>
//   noticewatch <output-file> <stop-file> [<give-up-ms>]
// It runs until the stop file exists (or the time limit passes).
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "win/wide_text.h"

namespace {

using wb::win::Utf8;

std::wstring TextOf(HWND window) {
  // WM_GETTEXT works across processes, GetWindowText does not for controls.
  wchar_t buffer[8192] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &copied)) {
    return {};
  }
  return std::wstring(buffer, copied);
}

std::string Escaped(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\r')
      continue;
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

// Draws into a 32-bit bitmap of `w` x `h` and returns its pixels. `paint`
// draws on a memory DC.
template <class Paint>
std::string Render(int w, int h, Paint paint) {
  // Allocated before any GDI object: a failure here leaves none behind.
  std::string pixels(static_cast<size_t>(w) * h * 4, '\0');
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(dc, bitmap);
  paint(dc, screen);
  SelectObject(dc, old);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  GetDIBits(dc, bitmap, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The standard icon a message box shows. Icon handles of another process
// cannot be read here, so the icon is recognised by what is on the screen:
// the icon control's pixels against each standard icon drawn on the same
// background.
std::string IconOf(HWND box) {
  struct Known {
    LPCWSTR id;
    const char* name;
  };
  static const Known kKnown[] = {{IDI_HAND, "stop"},
                                 {IDI_EXCLAMATION, "exclamation"},
                                 {IDI_ASTERISK, "information"},
                                 {IDI_QUESTION, "question"}};
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0)
      continue;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
      continue;
    RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(100);
    RECT r = {};
    GetWindowRect(child, &r);
    const int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
    COLORREF background = 0;
    const std::string shown = Render(w, h, [&](HDC dc, HDC screen) {
      BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
      background = GetPixel(dc, 0, 0);
    });
    for (const Known& k : kKnown) {
      const std::string drawn = Render(w, h, [&](HDC dc, HDC) {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all = {0, 0, w, h};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        DrawIconEx(dc, 0, 0, LoadIconW(nullptr, k.id), w, h, 0, nullptr, DI_NORMAL);
      });
      if (drawn == shown)
        return k.name;
    }
    return "other";
  }
  return "none";
}

struct Sweep {
  std::set<HWND>* answered;
  const wchar_t* out_path;
};

// Appends one line, the file closed again at once: the host counts its
// lines while the watcher runs.
void AppendLine(const wchar_t* path, const std::string& line) {
  if (FILE* out = _wfopen(path, L"ab")) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fclose(out);
  }
}

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* sweep = reinterpret_cast<Sweep*>(param);
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(window))
    return TRUE;
  if (sweep->answered->count(window))
    return TRUE;
  HWND text = GetDlgItem(window, 0xFFFF);
  if (text == nullptr)
    return TRUE;
  // The box turns visible a moment before it takes the foreground: it has a
  // second to get there.
  for (int wait = 0; wait < 20 && GetForegroundWindow() != window; ++wait)
    Sleep(50);
  const bool front = GetForegroundWindow() == window;
  AppendLine(sweep->out_path, Escaped(TextOf(window)) + "\t" + Escaped(TextOf(text)) + "\t" +
                                  IconOf(window) + "\t" + (front ? "front" : "behind") + "\n");
  sweep->answered->insert(window);
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: noticewatch <output-file> <stop-file> [<give-up-ms>]\n");
    return 2;
  }
  const DWORD give_up = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 600000;
  const DWORD start = GetTickCount();
  std::set<HWND> answered;
  Sweep sweep{&answered, argv[1]};
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount() - start < give_up) {
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&sweep));
    Sleep(50);
  }
  return 0;
}
