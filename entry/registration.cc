#include "entry/registration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "entry/module_state.h"
#include "entry/reg_key.h"
#include "entry/type_info.h"
#include "entry/workbench_idl.h"

namespace wb::entry {

namespace {

constexpr wchar_t kProgId[] = L"Workbench.CWorkbench";
constexpr wchar_t kInterfaceName[] = L"_CWorkbench";
constexpr wchar_t kLibraryName[] = L"Workbench";
constexpr wchar_t kVersion[] = L"1.0";
// The automation marshaler (PSOAInterface) serves the dual interface.
constexpr wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";
#ifdef _WIN64
constexpr wchar_t kPlatform[] = L"win64";
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr wchar_t kPlatform[] = L"win32";
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

HRESULT FromStatus(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

// One key with its default value, and optionally one named value.
HRESULT WriteKey(HKEY root,
                 const std::wstring& path,
                 const std::wstring& value,
                 const wchar_t* name = nullptr,
                 const std::wstring& named_value = {}) {
  win::ScopedHKEY key;
  LSTATUS status = CreateRegKey(root, path, key);
  if (status == ERROR_SUCCESS)
    status = SetRegString(key.Get(), nullptr, value);
  if (status == ERROR_SUCCESS && name != nullptr)
    status = SetRegString(key.Get(), name, named_value);
  return FromStatus(status);
}

// The classes root of the scope, opened (and created for a new user profile).
HRESULT OpenClassesRoot(RegistrationScope scope, win::ScopedHKEY& root) {
  if (scope == RegistrationScope::kAllUsers) {
    return FromStatus(OpenRegKey(HKEY_CLASSES_ROOT, L"", KEY_READ | KEY_WRITE, root));
  }
  return FromStatus(CreateRegKey(HKEY_CURRENT_USER, L"Software\\Classes", root));
}

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

HRESULT WriteClassKeys(HKEY root, const std::wstring& dll_path) {
  const std::wstring clsid_key = L"CLSID\\" + GuidText(CLSID_CWorkbench);
  const HRESULT results[] = {
      WriteKey(root, clsid_key, kProgId),
      WriteKey(root, clsid_key + L"\\InprocServer32", dll_path, L"ThreadingModel", L"Apartment"),
      WriteKey(root, clsid_key + L"\\ProgID", kProgId),
      WriteKey(root, clsid_key + L"\\TypeLib", GuidText(LIBID_Workbench)),
      WriteKey(root, clsid_key + L"\\Version", kVersion),
      WriteKey(root, kProgId, kProgId),
      WriteKey(root, std::wstring(kProgId) + L"\\CLSID", GuidText(CLSID_CWorkbench)),
  };
  for (HRESULT hr : results) {
    if (FAILED(hr))
      return hr;
  }
  return S_OK;
}

// The keys that RegisterTypeLib writes, under a root that it cannot write to.
HRESULT WriteTypeLibKeysByHand(HKEY root, const std::wstring& dll_path) {
  const std::wstring lib_key = L"TypeLib\\" + GuidText(LIBID_Workbench) + L"\\" + kVersion;
  const std::wstring if_key = L"Interface\\" + GuidText(IID__CWorkbench);
  const HRESULT results[] = {
      WriteKey(root, lib_key, kLibraryName),
      WriteKey(root, lib_key + L"\\0\\" + kPlatform, dll_path),
      WriteKey(root, lib_key + L"\\FLAGS", L"0"),
      WriteKey(root, lib_key + L"\\HELPDIR", DirectoryOf(dll_path)),
      WriteKey(root, if_key, kInterfaceName),
      WriteKey(root, if_key + L"\\ProxyStubClsid", kAutomationProxy),
      WriteKey(root, if_key + L"\\ProxyStubClsid32", kAutomationProxy),
      WriteKey(root, if_key + L"\\TypeLib", GuidText(LIBID_Workbench), L"Version", kVersion),
  };
  for (HRESULT hr : results) {
    if (FAILED(hr))
      return hr;
  }
  return S_OK;
}

HRESULT RegisterTypeLibForAllUsers(const std::wstring& dll_path) {
  Microsoft::WRL::ComPtr<ITypeLib> type_lib;
  HRESULT hr = LoadWorkbenchTypeLib(type_lib);
  if (FAILED(hr))
    return hr;
  std::wstring path = dll_path;  // the call takes non-const strings
  std::wstring help_dir = DirectoryOf(dll_path);
  return RegisterTypeLib(type_lib.Get(), path.data(), help_dir.data());
}

// Deletes `path` and everything below it; a missing key is no failure.
void DeleteTree(HKEY root, const std::wstring& path) {
  RegDeleteTreeW(root, path.c_str());
}

// Deletes `path` when it has no subkeys left.
bool DeleteIfNoSubkeys(HKEY root, const std::wstring& path) {
  win::ScopedHKEY key;
  if (OpenRegKey(root, path, KEY_READ, key) != ERROR_SUCCESS)
    return true;
  if (SubkeyCount(key.Get()) != 0)
    return false;
  key.Reset();
  return RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS;
}

// Removes this platform's type library entry, and the version and interface
// keys with it once no other platform's entry remains.
void DeleteTypeLibKeys(HKEY root) {
  const std::wstring guid_key = L"TypeLib\\" + GuidText(LIBID_Workbench);
  const std::wstring lib_key = guid_key + L"\\" + kVersion;
  DeleteTree(root, lib_key + L"\\0\\" + kPlatform);
  if (!DeleteIfNoSubkeys(root, lib_key + L"\\0"))
    return;
  DeleteTree(root, lib_key + L"\\FLAGS");
  DeleteTree(root, lib_key + L"\\HELPDIR");
  if (!DeleteIfNoSubkeys(root, lib_key))
    return;
  DeleteIfNoSubkeys(root, guid_key);
  DeleteTree(root, L"Interface\\" + GuidText(IID__CWorkbench));
}

HRESULT Register(RegistrationScope scope) {
  const std::wstring dll_path = ModulePath();
  if (dll_path.empty())
    return E_FAIL;
  win::ScopedHKEY root;
  HRESULT hr = OpenClassesRoot(scope, root);
  if (FAILED(hr))
    return hr;
  hr = scope == RegistrationScope::kAllUsers ? RegisterTypeLibForAllUsers(dll_path)
                                             : WriteTypeLibKeysByHand(root.Get(), dll_path);
  if (FAILED(hr))
    return hr;
  return WriteClassKeys(root.Get(), dll_path);
}

HRESULT Unregister(RegistrationScope scope) {
  win::ScopedHKEY root;
  const HRESULT hr = OpenClassesRoot(scope, root);
  if (FAILED(hr))
    return hr;
  if (scope == RegistrationScope::kAllUsers) {
    // Fails when it is not registered, which is no failure here; what it
    // leaves behind is swept below.
    UnRegisterTypeLib(LIBID_Workbench, 1, 0, LOCALE_NEUTRAL, kSysKind);
  }
  DeleteTypeLibKeys(root.Get());
  DeleteTree(root.Get(), L"CLSID\\" + GuidText(CLSID_CWorkbench));
  DeleteTree(root.Get(), kProgId);
  return S_OK;
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  try {
    const HRESULT hr = Register(scope);
    // Nothing half-written stays behind.
    if (FAILED(hr))
      UnregisterServer(scope);
    return hr;
  } catch (...) {
    UnregisterServer(scope);
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  try {
    return Unregister(scope);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace wb::entry
