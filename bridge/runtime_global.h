// The runtime's global object: `Screen` (with `MousePointer`) and `Unload` of a
// form, reached by member name like any component. One per thread, created on
// first use there and released with the thread's module state.
#pragma once

#include "core/automation_object.h"

namespace wb {

// A window that the runtime's `Unload` closes.
class Form {
 public:
  virtual void Unload() = 0;

 protected:
  ~Form() = default;
};

// The calling thread's global object (members "Screen" and "Unload").
ObjectRef RuntimeGlobal();

}  // namespace wb
