// The platform's modal message box, used when no notice sink is installed on
// the thread: MessageBoxW on Windows (notice_win.cc); nothing on the native
// build (notice_posix.cc), where tests install a sink.
#pragma once

#include "launchers/modpublic.h"

namespace wb::modpublic {

// Blocks until the box is closed. Raises through Err when it cannot be shown.
void ShowPlatformNotice(const Notice& notice);

}  // namespace wb::modpublic
