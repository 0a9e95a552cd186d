// `ScopedHMENU`: an owned menu, destroyed (with its popups) by DestroyMenu.
// A menu given to a window or inserted into another menu belongs to that
// window or menu: Release() it once the hand-over succeeded.
#pragma once

#include <windows.h>

#include "win/scoped_generic.h"

namespace wb::win {

struct HMENUTraits {
  static HMENU InvalidValue() noexcept { return nullptr; }
  static void Free(HMENU menu) noexcept { DestroyMenu(menu); }
};

using ScopedHMENU = ScopedGeneric<HMENU, HMENUTraits>;

}  // namespace wb::win
