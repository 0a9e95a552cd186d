// `ScopedHandle`: an owned kernel object HANDLE, closed with CloseHandle.
// Both null and INVALID_HANDLE_VALUE mean "no handle" (functions differ in
// which of the two they return on failure); neither is ever closed.
#pragma once

#include <windows.h>

#include "win/scoped_generic.h"

namespace wb::win {

struct HandleTraits {
  static HANDLE InvalidValue() noexcept { return nullptr; }
  static bool IsValid(HANDLE handle) noexcept {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
  }
  static void Free(HANDLE handle) noexcept { CloseHandle(handle); }
};

using ScopedHandle = ScopedGeneric<HANDLE, HandleTraits>;

}  // namespace wb::win
