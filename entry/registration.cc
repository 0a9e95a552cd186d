#include "entry/registration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "bridge/win/hresult.h"
#include "entry/module_state.h"
#include "entry/reg_key.h"
#include "entry/type_info.h"
#include "entry/workbench_idl.h"

namespace wb::entry {

namespace {

constexpr wchar_t kProgId[] = L"Workbench.CWorkbench";
constexpr wchar_t kInterfaceName[] = L"_CWorkbench";
constexpr wchar_t kLibraryName[] = L"Workbench";
// The automation marshaler (PSOAInterface) serves the dual interface.
constexpr wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";
// This width's platform key under the type library's version, and the
// registry view of the other width.
#ifdef _WIN64
constexpr wchar_t kPlatform[] = L"win64";
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr wchar_t kPlatform[] = L"win32";
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

HRESULT FromStatus(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The type library in this DLL's resources, and the version it states, the
// one version that registration writes.
struct Library {
  Microsoft::WRL::ComPtr<ITypeLib> type_lib;
  WORD major = 0;
  WORD minor = 0;
  std::wstring version;  // "1.0"
};

HRESULT LoadLibraryInfo(Library& library) {
  WB_RETURN_IF_FAILED(LoadWorkbenchTypeLib(library.type_lib));
  TLIBATTR* attr = nullptr;
  WB_RETURN_IF_FAILED(library.type_lib->GetLibAttr(&attr));
  library.major = attr->wMajorVerNum;
  library.minor = attr->wMinorVerNum;
  library.type_lib->ReleaseTLibAttr(attr);
  library.version = std::to_wstring(library.major) + L"." + std::to_wstring(library.minor);
  return S_OK;
}

// One key with its default value, and optionally one named value.
struct KeyEntry {
  KeyEntry(std::wstring key_path,
           std::wstring default_value,
           const wchar_t* value_name = nullptr,
           std::wstring named = {})
      : path(std::move(key_path)),
        value(std::move(default_value)),
        name(value_name),
        named_value(std::move(named)) {}
  std::wstring path;
  std::wstring value;
  const wchar_t* name;
  std::wstring named_value;
};

// Writes the keys in order and stops at the first one that fails.
HRESULT WriteKeys(HKEY root, const std::vector<KeyEntry>& keys) {
  for (const KeyEntry& entry : keys) {
    win::ScopedHKEY key;
    LSTATUS status = CreateRegKey(root, entry.path, key);
    if (status == ERROR_SUCCESS)
      status = SetRegString(key.Get(), nullptr, entry.value);
    if (status == ERROR_SUCCESS && entry.name != nullptr)
      status = SetRegString(key.Get(), entry.name, entry.named_value);
    if (status != ERROR_SUCCESS)
      return FromStatus(status);
  }
  return S_OK;
}

std::wstring ClassKey() {
  return L"CLSID\\" + GuidText(CLSID_CWorkbench);
}

std::wstring VersionKey(const Library& library) {
  return L"TypeLib\\" + GuidText(LIBID_Workbench) + L"\\" + library.version;
}

std::wstring InterfaceKey() {
  return L"Interface\\" + GuidText(IID__CWorkbench);
}

std::vector<KeyEntry> ClassKeys(const std::wstring& dll_path, const Library& library) {
  const std::wstring clsid_key = ClassKey();
  return {
      {clsid_key, kProgId},
      {clsid_key + L"\\InprocServer32", dll_path, L"ThreadingModel", L"Apartment"},
      {clsid_key + L"\\ProgID", kProgId},
      {clsid_key + L"\\TypeLib", GuidText(LIBID_Workbench)},
      {clsid_key + L"\\Version", library.version},
      {kProgId, kProgId},
      {std::wstring(kProgId) + L"\\CLSID", GuidText(CLSID_CWorkbench)},
  };
}

// The keys that RegisterTypeLib writes, for a root that it cannot write to.
std::vector<KeyEntry> TypeLibKeys(const std::wstring& dll_path, const Library& library) {
  const std::wstring lib_key = VersionKey(library);
  const std::wstring if_key = InterfaceKey();
  return {
      {lib_key, kLibraryName},
      {lib_key + L"\\0\\" + kPlatform, dll_path},
      {lib_key + L"\\FLAGS", L"0"},
      {lib_key + L"\\HELPDIR", DirectoryOf(dll_path)},
      {if_key, kInterfaceName},
      {if_key + L"\\ProxyStubClsid", kAutomationProxy},
      {if_key + L"\\ProxyStubClsid32", kAutomationProxy},
      {if_key + L"\\TypeLib", GuidText(LIBID_Workbench), L"Version", library.version},
  };
}

HRESULT RegisterTypeLibForAllUsers(const std::wstring& dll_path, const Library& library) {
  std::wstring path = dll_path;  // the call takes non-const strings
  std::wstring help_dir = DirectoryOf(dll_path);
  return RegisterTypeLib(library.type_lib.Get(), path.data(), help_dir.data());
}

// The classes of the scope: HKLM's for all users (where HKCR writes go), the
// user's own otherwise.
HKEY ScopeRoot(RegistrationScope scope) {
  return scope == RegistrationScope::kAllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The classes root of the scope in this width's view, opened (and created
// for a new user profile).
HRESULT OpenClassesRoot(RegistrationScope scope, win::ScopedHKEY& root) {
  return FromStatus(CreateRegKey(ScopeRoot(scope), L"Software\\Classes", root));
}

// True when a 64-bit Windows has the other width's view (always, seen from
// 64-bit code; for 32-bit code, only under WOW64).
bool HasOtherView() {
#ifdef _WIN64
  return true;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// Whether the other width's DLL is registered in this scope: its class key
// in its own view, naming another file than this one. (Where a scope has one
// view for both widths, as the user's classes under Wine, that key is this
// DLL's own.) The two views share the ProgID and the type library's keys,
// and the type library's interface keys are written into both.
bool OtherWidthRegistered(RegistrationScope scope, const std::wstring& dll_path) {
  if (!HasOtherView())
    return false;
  win::ScopedHKEY key;
  if (OpenRegKey(ScopeRoot(scope), L"Software\\Classes\\" + ClassKey() + L"\\InprocServer32",
                 KEY_READ | kOtherView, key) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring server = GetRegString(key.Get(), nullptr);
  return !server.empty() && _wcsicmp(server.c_str(), dll_path.c_str()) != 0;
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

// The interface's keys in the other width's view, which the platform's
// RegisterTypeLib writes from either width.
void DeleteOtherViewInterfaceKey(RegistrationScope scope) {
  if (!HasOtherView())
    return;
  win::ScopedHKEY interfaces;
  if (OpenRegKey(ScopeRoot(scope), L"Software\\Classes\\Interface",
                 KEY_READ | KEY_WRITE | DELETE | kOtherView, interfaces) == ERROR_SUCCESS) {
    DeleteTree(interfaces.Get(), GuidText(IID__CWorkbench));
  }
}

// Removes this platform's type library entry, and the version and interface
// keys with it once no other platform's entry remains.
void DeleteTypeLibKeys(HKEY root, RegistrationScope scope, const Library& library) {
  const std::wstring guid_key = L"TypeLib\\" + GuidText(LIBID_Workbench);
  const std::wstring lib_key = VersionKey(library);
  DeleteTree(root, lib_key + L"\\0\\" + kPlatform);
  if (!DeleteIfNoSubkeys(root, lib_key + L"\\0"))
    return;
  DeleteTree(root, lib_key + L"\\FLAGS");
  DeleteTree(root, lib_key + L"\\HELPDIR");
  if (!DeleteIfNoSubkeys(root, lib_key))
    return;
  DeleteIfNoSubkeys(root, guid_key);
  DeleteTree(root, InterfaceKey());
  DeleteOtherViewInterfaceKey(scope);
}

HRESULT Register(RegistrationScope scope) {
  const std::wstring dll_path = ModulePath();
  if (dll_path.empty())
    return E_FAIL;
  Library library;
  WB_RETURN_IF_FAILED(LoadLibraryInfo(library));
  win::ScopedHKEY root;
  WB_RETURN_IF_FAILED(OpenClassesRoot(scope, root));
  WB_RETURN_IF_FAILED(scope == RegistrationScope::kAllUsers
                          ? RegisterTypeLibForAllUsers(dll_path, library)
                          : WriteKeys(root.Get(), TypeLibKeys(dll_path, library)));
  return WriteKeys(root.Get(), ClassKeys(dll_path, library));
}

HRESULT Unregister(RegistrationScope scope) {
  Library library;
  WB_RETURN_IF_FAILED(LoadLibraryInfo(library));
  win::ScopedHKEY root;
  WB_RETURN_IF_FAILED(OpenClassesRoot(scope, root));
  if (OtherWidthRegistered(scope, ModulePath())) {
    // The other width's hosts keep the ProgID, the interface and the type
    // library's version: only this width's class and platform entry go.
    DeleteTree(root.Get(), VersionKey(library) + L"\\0\\" + kPlatform);
    DeleteTree(root.Get(), ClassKey());
    return S_OK;
  }
  if (scope == RegistrationScope::kAllUsers) {
    // Fails when it is not registered, which is no failure here; what it
    // leaves behind is swept below.
    UnRegisterTypeLib(LIBID_Workbench, library.major, library.minor, LOCALE_NEUTRAL, kSysKind);
  }
  DeleteTypeLibKeys(root.Get(), scope, library);
  DeleteTree(root.Get(), ClassKey());
  DeleteTree(root.Get(), kProgId);
  return S_OK;
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  const HRESULT hr = win::ResultFromException([scope] { return Register(scope); });
  // A registration that stops halfway takes back what it wrote; the host
  // hears of the step that failed.
  if (FAILED(hr))
    UnregisterServer(scope);
  return hr;
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  return win::ResultFromException([scope] { return Unregister(scope); });
}

}  // namespace wb::entry
