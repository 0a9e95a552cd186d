// The clicked tool as the menu bar reports it: an object whose "Name", "ID"
// and "Caption" can be read by member name, like the vendor control's tools.
#pragma once

#include "console/menu_model.h"
#include "core/automation_object.h"

namespace wb::console {

// A new reference to an object describing `tool`.
ObjectRef MakeToolObject(const Tool& tool);

}  // namespace wb::console
