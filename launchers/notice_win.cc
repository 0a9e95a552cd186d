// The notice box on Windows: a modal MessageBoxW.
#include <windows.h>

#include "bridge/com_errors.h"
#include "launchers/platform_notice.h"

namespace wb::modpublic {

void ShowPlatformNotice(const Notice& notice) {
  // Owned by the window active on this thread (the console, when a launcher
  // runs from its menu), so that the console waits behind the box; no owner
  // when the thread has no active window (a host calling the dispatch).
  const HWND owner = GetActiveWindow();
  SetLastError(ERROR_SUCCESS);
  const int closed_with = MessageBoxW(
      owner, reinterpret_cast<const wchar_t*>(notice.prompt.c_str()),
      reinterpret_cast<const wchar_t*>(notice.title.c_str()), static_cast<UINT>(notice.style));
  if (closed_with == 0) {
    const DWORD error = GetLastError();
    RaiseRuntimeHResult(
        HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_INVALID_PARAMETER));
  }
}

}  // namespace wb::modpublic
