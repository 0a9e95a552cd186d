// The members of `_CWorkbench` as the hand-written Invoke serves them: each
// dispatch id with the number of its parameters. The ids, like the names,
// come from the type library's IDL (entry/workbench_idl.h).
#pragma once

#include <oaidl.h>
#include <windows.h>

#include "entry/workbench_idl.h"

namespace wb::entry {

struct Member {
  DISPID dispid;
  UINT param_count;
};

// The member with this dispatch id, or null.
const Member* FindMemberById(DISPID dispid) noexcept;

}  // namespace wb::entry
