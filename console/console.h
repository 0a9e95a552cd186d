// The test console `frmWorkbench`: a modal window with a menu bar and a log.
#pragma once

namespace wb::console {

// Opens a new console window modally on the calling thread and returns when it
// has been closed. Errors while creating or showing it raise through Err.
void ShowWorkbenchForm();

}  // namespace wb::console
