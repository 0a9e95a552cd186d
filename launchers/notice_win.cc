// The notice box on Windows: a modal MessageBoxW.
#include <windows.h>

#include "bridge/com_errors.h"
#include "launchers/platform_notice.h"

namespace wb::modpublic {

void ShowPlatformNotice(const Notice& notice) {
  // Owned by the window active on this thread (the console, when a launcher
  // runs from its menu), so that the console waits behind the box; no owner
  // when the thread has no active window (a host calling the dispatch). A box
  // without an owner is brought to the front itself, or it could open behind
  // the host's window, out of sight, with the host waiting on it.
  const HWND owner = GetActiveWindow();
  const UINT style =
      static_cast<UINT>(notice.style) | (owner == nullptr ? MB_SETFOREGROUND : 0u);
  SetLastError(ERROR_SUCCESS);
  const int closed_with =
      MessageBoxW(owner, reinterpret_cast<const wchar_t*>(notice.prompt.c_str()),
                  reinterpret_cast<const wchar_t*>(notice.title.c_str()), style);
  if (closed_with == 0) {
    const DWORD error = GetLastError();
    RaiseRuntimeHResult(
        HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_INVALID_PARAMETER));
  }
}

}  // namespace wb::modpublic
