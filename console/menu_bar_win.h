// The console's menu bar as a native menu: one top-level item per menu-bar
// tool, each opening its popup; the tools' ids are the command ids.
#pragma once

#include <windows.h>

#include "win/scoped_hmenu.h"

namespace wb::console {

// A new menu bar, owned until it is given to a window; raises through Err
// when it cannot be built.
win::ScopedHMENU BuildMenuBar();

}  // namespace wb::console
