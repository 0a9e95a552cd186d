// `OnToolClick`: the console's handler of the menu bar's tool-click event.
#pragma once

#include "console/tool_actions.h"
#include "core/automation_object.h"

namespace wb::console {

// The member number that the points query of the console always asks for.
inline constexpr char16_t kConsoleVIPNumber[] = u"ZS00001";
// The code that both day-end tools send.
inline constexpr char16_t kDayEndCode[] = u"RUBO";

// Reads the clicked tool's "Name", logs "You click: " + name, reads the name
// again and runs the action of the first tool name equal to it (exact,
// case-sensitive). No trap: an error ends the handler where it arises and
// raises on to the caller; an error in the log append means no action runs.
void OnToolClick(const ObjectRef& tool, ToolActions& actions);

}  // namespace wb::console
