// `ModalScope`: makes a window modal to the other windows of its thread, as
// DialogBox does to its owner. Made before the modal window is created, it
// disables every top-level window of the calling thread that is visible and
// enabled (a host's main window, its other windows, a console opened earlier)
// and remembers which it disabled and which window was active. `End`, called
// before the modal window is destroyed, enables exactly those windows again
// and gives the activation back, so that it goes to the host rather than to
// another application. The destructor ends a scope that is still open.
//
// Each modal window has its own scope: a console opened over another disables
// the first one and, when it closes, enables it and nothing that the first one
// disabled. Windows of other threads are never touched.
#pragma once

#include <windows.h>

#include <vector>

namespace wb::console {

class ModalScope {
 public:
  // Disables the thread's visible, enabled top-level windows. Raises through
  // Err (out of memory) before disabling anything when it cannot keep the list.
  ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  ~ModalScope() { End(nullptr); }

  // Enables again the windows that this scope disabled (those still there).
  // Then, unless another window took the activation meanwhile, the window that
  // was active when the scope began is activated again. `modal` is the modal
  // window (nullptr when it never existed or is gone). Only the first call
  // does anything: a call made from a WM_ENABLE handler while an earlier one
  // runs returns at once.
  void End(HWND modal) noexcept;

  // The owner for the modal window, as DialogBox's: the top-level window
  // that was active when the scope began, else the first one it disabled
  // (the host's main window, when the host made the call without one
  // active); null when the thread has no window at all.
  HWND owner() const noexcept { return owner_; }

 private:
  std::vector<HWND> disabled_;
  HWND was_active_ = nullptr;
  HWND owner_ = nullptr;
  bool open_ = true;
};

}  // namespace wb::console
