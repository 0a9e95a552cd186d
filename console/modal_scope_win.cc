#include "console/modal_scope_win.h"

#include <utility>

#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb::console {

namespace {

struct Found {
  std::vector<HWND> windows;
  bool complete = true;
};

// Called by Windows: nothing may be thrown from here.
BOOL CALLBACK CollectUsable(HWND hwnd, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd))
    return TRUE;
  try {
    found->windows.push_back(hwnd);
  } catch (...) {
    found->complete = false;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

ModalScope::ModalScope() : was_active_(GetActiveWindow()) {
  Found found;
  EnumThreadWindows(GetCurrentThreadId(), &CollectUsable, reinterpret_cast<LPARAM>(&found));
  if (!found.complete)
    Err::RaiseRuntime(rt::kOutOfMemory);
  owner_ = was_active_ != nullptr ? GetAncestor(was_active_, GA_ROOT) : nullptr;
  if (owner_ == nullptr && !found.windows.empty())
    owner_ = found.windows.front();
  // Room for every one before the first is disabled: nothing below throws.
  disabled_.reserve(found.windows.size());
  for (const HWND hwnd : found.windows) {
    // WM_ENABLE runs the host's code, which may destroy or disable windows
    // still on the list. EnableWindow answers zero when the window was enabled
    // until now: this scope disabled it.
    if (IsWindow(hwnd) && !EnableWindow(hwnd, FALSE))
      disabled_.push_back(hwnd);
  }
}

void ModalScope::End(HWND modal) noexcept {
  if (!std::exchange(open_, false))
    return;
  const std::vector<HWND> disabled = std::exchange(disabled_, {});
  for (auto it = disabled.rbegin(); it != disabled.rend(); ++it) {
    if (IsWindow(*it))
      EnableWindow(*it, TRUE);
  }
  // Handed back while the modal window is active, or nothing is, or the
  // earlier window still is: a window that the user or the host activated
  // since keeps the activation.
  const HWND active = GetActiveWindow();
  if (was_active_ != nullptr && IsWindow(was_active_) &&
      (active == nullptr || active == modal || active == was_active_)) {
    SetActiveWindow(was_active_);
  }
}

}  // namespace wb::console
