#include "entry/type_info.h"

#include <oleauto.h>

#include <string>

#include "bridge/win/hresult.h"
#include "entry/module_state.h"
#include "entry/workbench_idl.h"

namespace wb::entry {

HRESULT LoadWorkbenchTypeLib(Microsoft::WRL::ComPtr<ITypeLib>& type_lib) noexcept {
  return win::ResultFromException([&] {
    const std::wstring path = ModulePath();
    if (path.empty()) {
      const DWORD error = GetLastError();
      return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, type_lib.ReleaseAndGetAddressOf());
  });
}

HRESULT LoadWorkbenchTypeInfo(Microsoft::WRL::ComPtr<ITypeInfo>& type_info) noexcept {
  Microsoft::WRL::ComPtr<ITypeLib> type_lib;
  WB_RETURN_IF_FAILED(LoadWorkbenchTypeLib(type_lib));
  return type_lib->GetTypeInfoOfGuid(IID__CWorkbench, type_info.ReleaseAndGetAddressOf());
}

}  // namespace wb::entry
