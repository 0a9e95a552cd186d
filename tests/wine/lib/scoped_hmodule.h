// `ScopedHMODULE`: a library loaded with LoadLibrary, let go with FreeLibrary.
#pragma once

#include <windows.h>

#include "win/scoped_generic.h"

namespace wb::win {

struct HMODULETraits {
  static HMODULE InvalidValue() noexcept { return nullptr; }
  static void Free(HMODULE module) noexcept { FreeLibrary(module); }
};

using ScopedHMODULE = ScopedGeneric<HMODULE, HMODULETraits>;

}  // namespace wb::win
