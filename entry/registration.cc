#include "entry/registration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cwctype>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "entry/reg_key.h"
#include "entry/registry_rows.h"
#include "entry/registry_transaction.h"
#include "entry/type_info.h"
#include "entry/workbench_idl.h"
#include "registry_row_count.h"
#include "win/hresult.h"
#include "win/inproc_server.h"
#include "win/registry_value.h"
#include "win/scoped_handle.h"

namespace wb::entry {

namespace {

constexpr wchar_t kProgId[] = L"Workbench.CWorkbench";
// This width's platform key under the type library's version, and the
// registry view of the other width.
#ifdef _WIN64
constexpr wchar_t kPlatform[] = L"win64";
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr wchar_t kPlatform[] = L"win32";
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

// What the table's placeholders stand for in this DLL.
struct Placeholders {
  std::wstring clsid = GuidText(CLSID_CWorkbench);
  std::wstring libid = GuidText(LIBID_Workbench);
  std::wstring iid = GuidText(IID__CWorkbench);
  std::wstring version;
  std::wstring file;
  std::wstring folder;
};

std::wstring Expand(const wchar_t* text, const Placeholders& with) {
  const std::pair<const wchar_t*, const std::wstring*> tokens[] = {
      {L"{CLSID}", &with.clsid},     {L"{LIBID}", &with.libid}, {L"{IID}", &with.iid},
      {L"{VERSION}", &with.version}, {L"[FILE]", &with.file},   {L"[FOLDER]", &with.folder},
  };
  std::wstring out = text;
  const std::wstring platform = kPlatform;
  for (size_t at = out.find(L"{PLATFORM}"); at != std::wstring::npos; at = out.find(L"{PLATFORM}"))
    out.replace(at, wcslen(L"{PLATFORM}"), platform);
  for (const auto& [token, value] : tokens) {
    const size_t length = wcslen(token);
    for (size_t at = out.find(token); at != std::wstring::npos; at = out.find(token, at))
      out.replace(at, length, *value), at += value->size();
  }
  return out;
}

static_assert(std::size(kRegistryRows) == WB_PACKAGE_REGISTRY_ROWS,
              "the installer packages read every row of the registry table");

// Writes every row of the table; a row that fails takes back the rows before
// it, and only what this call created or replaced.
HRESULT WriteRows(HKEY root, const Placeholders& with) {
  RegistryTransaction transaction(root);
  for (const RegistryRow& row : kRegistryRows) {
    WB_RETURN_IF_FAILED(FromStatus(
        transaction.SetString(Expand(row.key, with), row.name, Expand(row.value, with))));
  }
  transaction.Commit();
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

// Whether two paths name one file: the same text, or the same file reached
// another way (a short name, another drive letter for the same folder).
bool SameFile(const std::wstring& a, const std::wstring& b) {
  if (_wcsicmp(a.c_str(), b.c_str()) == 0)
    return true;
  BY_HANDLE_FILE_INFORMATION info[2] = {};
  const std::wstring* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    win::ScopedHandle file(CreateFileW(paths[i]->c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info[i]))
      return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// The file that the class key of a classes root names as its server, in
// this width's view or (with `view`) another one; empty when none.
std::wstring RegisteredServer(HKEY classes, REGSAM view) {
  win::ScopedHKEY key;
  if (OpenRegKey(classes, ClassKey() + L"\\InprocServer32", KEY_READ | view, key) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  // As COM reads it: a REG_SZ, or a REG_EXPAND_SZ with its variables
  // expanded; at most the longest path Windows opens.
  constexpr size_t kMaxPath = 32767;
  const win::RegistryValue value =
      win::ReadRegistryValue(key.Get(), nullptr, (kMaxPath + 1) * sizeof(wchar_t));
  std::optional<std::wstring> path = value.Text();
  if (path && value.type == REG_EXPAND_SZ)
    path = win::ExpandEnvironment(*path, kMaxPath);
  return path.value_or(std::wstring());
}

// Whether `path` names a file that is gone for good: its folder or the file
// itself is missing on a local fixed disk. A file on a share or a removable
// disk that is not there now may come back, and a path that is not a full
// one (a variable left unexpanded, say) names no file for sure: neither is
// ever called gone.
bool FileIsGone(const std::wstring& path) {
  const bool full = path.size() > 3 && iswalpha(path[0]) && path[1] == L':' &&
                    (path[2] == L'\\' || path[2] == L'/') && path.find(L'%') == std::wstring::npos;
  if (!full || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    return false;
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
    return false;
  wchar_t volume[MAX_PATH + 1] = {};
  return GetVolumePathNameW(path.c_str(), volume, MAX_PATH) && GetDriveTypeW(volume) == DRIVE_FIXED;
}

// Whether the other width's DLL is registered in this scope: its class key
// in its own view, naming another file than this one. (Where a scope has one
// view for both widths, as the user's classes under Wine, that key is this
// DLL's own.) The two views share the type library's keys.
bool OtherWidthRegistered(RegistrationScope scope, const std::wstring& dll_path) {
  if (!HasOtherView())
    return false;
  win::ScopedHKEY classes;
  if (OpenRegKey(ScopeRoot(scope), L"Software\\Classes", KEY_READ | kOtherView, classes) !=
      ERROR_SUCCESS) {
    return false;
  }
  const std::wstring server = RegisteredServer(classes.Get(), kOtherView);
  return !server.empty() && !SameFile(server, dll_path);
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

// The interface's keys in the other width's view, which an earlier version's
// registration wrote from either width (through the platform's
// RegisterTypeLib).
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
  Placeholders with;
  with.file = win::ThisModulePath();
  if (with.file.empty())
    return E_FAIL;
  with.folder = DirectoryOf(with.file) + L"\\";
  Library library;
  WB_RETURN_IF_FAILED(LoadLibraryInfo(library));
  with.version = library.version;
  win::ScopedHKEY root;
  WB_RETURN_IF_FAILED(OpenClassesRoot(scope, root));
  return WriteRows(root.Get(), with);
}

HRESULT Unregister(RegistrationScope scope) {
  Library library;
  WB_RETURN_IF_FAILED(LoadLibraryInfo(library));
  win::ScopedHKEY root;
  WB_RETURN_IF_FAILED(OpenClassesRoot(scope, root));
  const std::wstring dll_path = win::ThisModulePath();
  // Another copy of this width is the registered one (an installed one, say,
  // while an old folder's copy is being unregistered): its hosts keep
  // everything. A registration whose file is gone serves no host: it goes,
  // as this copy's own would.
  if (const std::wstring server = RegisteredServer(root.Get(), 0);
      !server.empty() && !SameFile(server, dll_path)) {
    if (!FileIsGone(server))
      return S_FALSE;
    OutputDebugStringW((L"Workbench: the registration named " + server +
                        L", which no longer exists; it is removed.\n")
                           .c_str());
  }
  if (OtherWidthRegistered(scope, dll_path)) {
    // The other width's hosts keep the ProgID, the interface and the type
    // library's version: only this width's class and platform entry go.
    DeleteTree(root.Get(), VersionKey(library) + L"\\0\\" + kPlatform);
    DeleteTree(root.Get(), ClassKey());
    return S_OK;
  }
  DeleteTypeLibKeys(root.Get(), scope, library);
  DeleteTree(root.Get(), ClassKey());
  DeleteTree(root.Get(), kProgId);
  return S_OK;
}

// Holds the machine's registration mutex for one registration or
// unregistration: two of them at once (the other width's regsvr32, say)
// would read and take back each other's keys halfway.
class RegistrationLock {
 public:
  RegistrationLock() noexcept : mutex_(CreateMutexW(nullptr, FALSE, kRegistrationMutexName)) {
    // Without the mutex the registration runs as it always did, alone or not.
    if (!mutex_.IsValid())
      return;
    const DWORD status = WaitForSingleObject(mutex_.Get(), kRegistrationWaitMs);
    // An owner that died left the keys as they were: ours to go on with.
    owned_ = status == WAIT_OBJECT_0 || status == WAIT_ABANDONED;
    if (!owned_)
      error_ = status == WAIT_FAILED ? GetLastError() : ERROR_TIMEOUT;
  }
  ~RegistrationLock() {
    if (owned_)
      ReleaseMutex(mutex_.Get());
  }
  RegistrationLock(const RegistrationLock&) = delete;
  RegistrationLock& operator=(const RegistrationLock&) = delete;

  bool Held() const noexcept { return owned_ || !mutex_.IsValid(); }
  HRESULT Failure() const noexcept { return HRESULT_FROM_WIN32(error_); }

 private:
  win::ScopedHandle mutex_;
  DWORD error_ = ERROR_SUCCESS;
  bool owned_ = false;
};

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  return win::ResultFromException([scope] {
    const RegistrationLock lock;
    return lock.Held() ? Register(scope) : lock.Failure();
  });
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  return win::ResultFromException([scope] {
    const RegistrationLock lock;
    return lock.Held() ? Unregister(scope) : lock.Failure();
  });
}

}  // namespace wb::entry
