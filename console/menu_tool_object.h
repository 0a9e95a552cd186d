// The clicked tool as the menu bar reports it: an object whose "Name", "ID"
// and "Caption" can be read by member name, like the vendor control's tools.
#pragma once

#include "core/automation_object.h"
#include "console/menu_model.h"

namespace wb::console {

// A new reference to an object describing `tool`.
AutomationObject MakeToolObject(const Tool& tool);

}  // namespace wb::console
