// The type description of `_CWorkbench`, read from the type library in this
// DLL's own resources (registration is not needed for it).
#pragma once

#include <oaidl.h>
#include <windows.h>

#include "bridge/com_ptr.h"

namespace wb::entry {

// The dispatch type info of `_CWorkbench`, or a failure status.
HRESULT LoadWorkbenchTypeInfo(com_ptr<ITypeInfo>& type_info) noexcept;

// The DLL's type library, or a failure status.
HRESULT LoadWorkbenchTypeLib(com_ptr<ITypeLib>& type_lib) noexcept;

}  // namespace wb::entry
