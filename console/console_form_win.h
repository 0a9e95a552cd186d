// The console window `frmWorkbench` on Windows: a top-level window with a
// native menu bar and the log box, and the object through which the runtime's
// Unload closes it.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "bridge/runtime_global.h"
#include "bridge/thread_state.h"
#include "console/edit_log_box_win.h"
#include "console/launcher_actions.h"
#include "console/layout.h"
#include "console/modal_scope_win.h"
#include "core/automation_object.h"
#include "core/ref_counted.h"

namespace wb::console {

class ConsoleForm final : public RefCounted<ConsoleForm>, public Form {
 public:
  // The window's caption, class and design size of its inner area in twips.
  static constexpr wchar_t kCaption[] = L"主界面";
  static constexpr wchar_t kClassName[] = L"WorkbenchConsole";
  static constexpr int kDesignWidth = 8160;
  static constexpr int kDesignHeight = 5130;
  // The log box's control id within the window.
  static constexpr int kLogBoxId = 100;

  // A new console, not loaded yet; the caller holds the one reference.
  static ObjectRef Create();

  // Disables the thread's other windows, loads the console (its Load sets
  // gDataBaseType to 1), shows it and runs its messages on the calling thread
  // until it is unloaded; the disabled windows are enabled again before the
  // console's window goes. Raises through Err when the window cannot be
  // created.
  void ShowModal();

  // AutomationObject: the public method "AddToText"(strLog).
  Variant Invoke(StringView name, CallKind kind, Args& args) override;

  // Form: the runtime's Unload destroys the window.
  void Unload() override;

 private:
  friend class RefCounted<ConsoleForm>;
  ConsoleForm() = default;
  ~ConsoleForm();

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void Load();
  // Ends the modal scope, then destroys the window: every path that closes the
  // console goes through here, so that the host's windows are enabled while
  // the console is still there to hand the activation back.
  void DestroyConsoleWindow() noexcept;
  void EndModal() noexcept;
  void CreateLogBox();
  void OnResize();
  void OnMenuCommand(int id);
  void MoveLogBox();

  // The thread's module state lives at least as long as the console.
  ThreadStateUser thread_state_user_;
  HWND hwnd_ = nullptr;
  HWND edit_ = nullptr;
  bool destroyed_ = false;
  int dpi_x_ = 96;
  int dpi_y_ = 96;
  // The log box's rectangle in twips, as last assigned.
  LogBoxRect log_rect_{120, 840, 7935, 4095};
  std::optional<EditLogBox> log_;
  std::optional<LauncherActions> actions_;
  // Made by ShowModal; ended before the window goes (at the latest with the
  // form, after a failed load).
  std::optional<ModalScope> modal_;
};

}  // namespace wb::console
