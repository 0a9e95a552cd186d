#include "entry/type_info.h"

#include <oleauto.h>

#include <string>

#include "entry/module_state.h"
#include "entry/workbench_idl.h"

namespace wb::entry {

HRESULT LoadWorkbenchTypeLib(com_ptr<ITypeLib>& type_lib) noexcept {
  try {
    const std::wstring path = ModulePath();
    if (path.empty()) {
      const DWORD error = GetLastError();
      return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, type_lib.put());
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT LoadWorkbenchTypeInfo(com_ptr<ITypeInfo>& type_info) noexcept {
  com_ptr<ITypeLib> type_lib;
  const HRESULT hr = LoadWorkbenchTypeLib(type_lib);
  if (FAILED(hr))
    return hr;
  return type_lib->GetTypeInfoOfGuid(IID__CWorkbench, type_info.put());
}

}  // namespace wb::entry
