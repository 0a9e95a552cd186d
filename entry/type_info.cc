#include "entry/type_info.h"

#include <oleauto.h>

#include <string>

#include "entry/workbench_idl.h"
#include "win/hresult.h"
#include "win/inproc_server.h"

namespace wb::entry {

HRESULT LoadWorkbenchTypeLib(Microsoft::WRL::ComPtr<ITypeLib>& type_lib) noexcept {
  return win::ResultFromException([&] {
    const std::wstring path = win::ThisModulePath();
    if (path.empty()) {
      const DWORD error = GetLastError();
      return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, type_lib.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr) || path.size() < MAX_PATH)
      return hr;
    // A folder deeper than MAX_PATH: the long form of the path, where the
    // system takes it; else a status that says why, not the loader's own.
    if (!path.starts_with(L"\\\\?\\")) {
      hr = LoadTypeLibEx((L"\\\\?\\" + path).c_str(), REGKIND_NONE,
                         type_lib.ReleaseAndGetAddressOf());
    }
    return SUCCEEDED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  });
}

HRESULT LoadWorkbenchTypeInfo(Microsoft::WRL::ComPtr<ITypeInfo>& type_info) noexcept {
  Microsoft::WRL::ComPtr<ITypeLib> type_lib;
  WB_RETURN_IF_FAILED(LoadWorkbenchTypeLib(type_lib));
  return type_lib->GetTypeInfoOfGuid(IID__CWorkbench, type_info.ReleaseAndGetAddressOf());
}

}  // namespace wb::entry
