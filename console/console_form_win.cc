#include "console/console_form_win.h"

#include <atomic>
#include <string>
#include <utility>

#include "bridge/com_errors.h"
#include "bridge/convert.h"
#include "console/menu_bar_win.h"
#include "console/menu_model.h"
#include "console/menu_tool_object.h"
#include "console/tool_click.h"
#include "console/twips.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "core/variant.h"
#include "launchers/modpublic.h"

namespace wb::console {

namespace {

[[noreturn]] void RaiseLastError() {
  const DWORD error = GetLastError();
  RaiseRuntimeHResult(HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_OUTOFMEMORY));
}

// This module's instance: the DLL's when the console lives in one.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// Registers the window class once per module. A class left behind by an
// earlier load of this DLL at another address points at code that is gone:
// it is replaced.
void RegisterConsoleClass(WNDPROC window_proc) {
  static std::atomic<bool> registered{false};
  if (registered.load())
    return;
  const HINSTANCE module = ThisModule();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(module, ConsoleForm::kClassName, &existing)) {
    if (existing.lpfnWndProc == window_proc) {
      registered = true;
      return;
    }
    UnregisterClassW(ConsoleForm::kClassName, module);
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = ConsoleForm::kClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    RaiseLastError();
  registered = true;
}

// Called in a catch block: an error that the console's event handlers pass
// back to the window runtime. There is no host to give it to, so it goes to
// the debugger's output and the thread's Err is left clear.
void DropHandlerError(StringView event) noexcept {
  Err::CaptureCurrentException();
  try {
    const ErrRecord& err = Err::Get();
    String text = u"Workbench console, " + String(event) + u": error " +
                  FromUtf8(std::to_string(err.number)) + u" (" + err.source + u") " +
                  err.description + u"\n";
    OutputDebugStringW(reinterpret_cast<const wchar_t*>(text.c_str()));
  } catch (...) {
  }
  Err::Clear();
}

}  // namespace

ObjectRef ConsoleForm::Create() {
  return ObjectRef(new ConsoleForm);
}

ConsoleForm::~ConsoleForm() {
  // Released without having been unloaded (an error while showing it).
  DestroyConsoleWindow();
}

Variant ConsoleForm::Invoke(StringView name, CallKind kind, Args& args) {
  if (!EqualsIgnoreAsciiCase(name, u"AddToText") || kind == CallKind::kLet) {
    Err::RaiseRuntime(rt::kNoSuchMember);
  }
  if (args.size() != 1)
    Err::RaiseRuntime(rt::kWrongArgumentCount);
  if (!log_)
    Err::RaiseRuntime(rt::kObjectUnloaded);
  AddToText(*log_, ToString(args[0].value()));
  return Variant();
}

void ConsoleForm::Unload() {
  DestroyConsoleWindow();
}

void ConsoleForm::DestroyConsoleWindow() noexcept {
  EndModal();
  if (hwnd_)
    DestroyWindow(hwnd_);
}

// The scope stays with the form: a host's WM_ENABLE handler may close the
// console again while End runs, and ending twice does nothing.
void ConsoleForm::EndModal() noexcept {
  if (modal_)
    modal_->End(hwnd_);
}

void ConsoleForm::Load() {
  modpublic::gDataBaseType() = 1;
  RegisterConsoleClass(&ConsoleForm::WindowProc);

  const HDC screen = GetDC(nullptr);
  if (screen) {
    dpi_x_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpi_y_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  // The inner area at its design size; the menu bar lies above it.
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, TwipsToPixels(kDesignWidth, dpi_x_), TwipsToPixels(kDesignHeight, dpi_y_)};
  AdjustWindowRectEx(&frame, kStyle, TRUE, 0);

  win::ScopedHMENU menu = BuildMenuBar();
  // Owned by the host's window that it disables, as a dialog box is: it stays
  // above that window and never falls behind it.
  const HWND owner = modal_ ? modal_->owner() : nullptr;
  hwnd_ = CreateWindowExW(0, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                          frame.right - frame.left, frame.bottom - frame.top, owner, menu.Get(),
                          ThisModule(), this);
  // A failure is read before the menu goes with its owner; once the window
  // exists, the menu is the window's.
  if (hwnd_ == nullptr)
    RaiseLastError();
  (void)menu.Release();
  if (edit_ == nullptr) {
    DestroyConsoleWindow();
    Err::RaiseRuntime(rt::kOutOfMemory);
  }
}

void ConsoleForm::ShowModal() {
  // Before the window exists, as DialogBox disables its owner; ended by
  // DestroyConsoleWindow, by WM_DESTROY, or with the form after a failure.
  modal_.emplace();
  Load();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  while (!destroyed_) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The thread is quitting: close the console and leave the quit for the
      // loop that waits below this one.
      Unload();
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) {
      Unload();
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LRESULT CALLBACK ConsoleForm::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form =
        static_cast<ConsoleForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<ConsoleForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr)
    return DefWindowProcW(hwnd, message, wparam, lparam);
  // No C++ exception may leave for Windows' own frames.
  try {
    return form->OnMessage(message, wparam, lparam);
  } catch (...) {
    DropHandlerError(u"window message");
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

LRESULT ConsoleForm::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      CreateLogBox();
      return 0;
    case WM_SIZE:
      OnResize();
      return 0;
    case WM_COMMAND:
      // Menu commands only; the log box's notifications carry its handle.
      if (lparam == 0 && HIWORD(wparam) == 0)
        OnMenuCommand(LOWORD(wparam));
      return 0;
    case WM_CLOSE:
      // The close box, the system menu, Alt+F4: the host's windows come back
      // before the window goes.
      DestroyConsoleWindow();
      return 0;
    case WM_DESTROY:
      // Destroyed by a path that is not ours: the host's windows at least
      // come back.
      EndModal();
      destroyed_ = true;
      if (log_)
        log_->Detach();
      return 0;
    case WM_NCDESTROY: {
      const HWND hwnd = std::exchange(hwnd_, nullptr);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      edit_ = nullptr;
      return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void ConsoleForm::CreateLogBox() {
  edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", EditLogBox::kStyle, 0, 0, 0, 0, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLogBoxId)), ThisModule(),
                          nullptr);
  if (edit_ == nullptr)
    return;
  SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  log_.emplace(edit_);
  actions_.emplace(*log_, *this);
  MoveLogBox();  // the design rectangle, until the first Resize
}

// The Resize event. Its error, if any, goes back to the window runtime, which
// is this procedure: it is dropped once the assignments made before it are on
// screen.
void ConsoleForm::OnResize() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const float scale_width = PixelsToTwips(client.right - client.left, dpi_x_);
  const float scale_height = PixelsToTwips(client.bottom - client.top, dpi_y_);
  try {
    LayOutLogBox(scale_width, scale_height, log_rect_);
  } catch (...) {
    DropHandlerError(u"Resize");
  }
  MoveLogBox();
}

void ConsoleForm::MoveLogBox() {
  if (edit_ == nullptr)
    return;
  MoveWindow(edit_, TwipsToPixels(log_rect_.left, dpi_x_), TwipsToPixels(log_rect_.top, dpi_y_),
             TwipsToPixels(log_rect_.width, dpi_x_), TwipsToPixels(log_rect_.height, dpi_y_), TRUE);
}

// The tool-click event. An error that ends the handler goes back to the
// event's caller, the menu bar; the console shows nothing of its own and no
// host waits on a menu click, so the error is dropped here. Notices are the
// launchers' own affair and run inside the handler.
void ConsoleForm::OnMenuCommand(int id) {
  const Tool* tool = FindTool(id);
  if (tool == nullptr || !actions_)
    return;
  // A click on the menu bar leaves the console active; so does a command
  // posted to it, so that the notices of the click are owned by the console.
  if (GetActiveWindow() != hwnd_)
    SetActiveWindow(hwnd_);
  // Keeps this form alive should the click unload and release it.
  const ObjectRef self(this);
  try {
    OnToolClick(MakeToolObject(*tool), *actions_);
  } catch (...) {
    DropHandlerError(u"tool click");
  }
}

}  // namespace wb::console
