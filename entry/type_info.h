// The type description of `_CWorkbench`, read from the type library in this
// DLL's own resources (registration is not needed for it).
#pragma once

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

namespace wb::entry {

// The dispatch type info of `_CWorkbench`, or a failure status.
HRESULT LoadWorkbenchTypeInfo(Microsoft::WRL::ComPtr<ITypeInfo>& type_info) noexcept;

// The DLL's type library, or a failure status: in a folder deeper than
// MAX_PATH where the system cannot load it even by the long form of the
// path, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), which registration
// and late binding then report.
HRESULT LoadWorkbenchTypeLib(Microsoft::WRL::ComPtr<ITypeLib>& type_lib) noexcept;

}  // namespace wb::entry
