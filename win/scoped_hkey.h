// `ScopedHKEY`: an owned open registry key, closed with RegCloseKey.
#pragma once

#include <windows.h>

#include "win/scoped_generic.h"

namespace wb::win {

struct HKEYTraits {
  static HKEY InvalidValue() noexcept { return nullptr; }
  static void Free(HKEY key) noexcept { RegCloseKey(key); }
};

using ScopedHKEY = ScopedGeneric<HKEY, HKEYTraits>;

}  // namespace wb::win
