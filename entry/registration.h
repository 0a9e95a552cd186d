// Registration of the class and its type library, for all users (HKCR, what
// DllRegisterServer does) or for the current user only (HKCU\Software\Classes,
// what `regsvr32 /n /i:user` asks through DllInstall).
//
// The keys and values are the rows of entry/registry_rows.h, which the
// Windows Installer packages write too. A registration that stops halfway
// takes back what it created or replaced, and nothing else, and reports the
// write that failed.
//
// Unregistration of a copy that is not the registered one (its width's class
// key names another file, as REG_SZ or as REG_EXPAND_SZ) removes nothing and
// returns S_FALSE, unless that file is gone from a local disk: such a
// registration serves no host, and is removed (a debug message says so). It
// removes the table's keys; while the other width's DLL stays registered
// (its class key in the other registry view), only this width's class key and
// its platform entry under the type library go, and the keys the two views
// share stay for it.
//
// Registrations and unregistrations of either width on one machine take
// turns, on the named mutex below; one that waits longer than a minute fails
// with ERROR_TIMEOUT and writes nothing.
#pragma once

#include <windows.h>

namespace wb::entry {

enum class RegistrationScope { kAllUsers, kCurrentUser };

inline constexpr wchar_t kRegistrationMutexName[] = L"Global\\Workbench.CWorkbench.Registration";
inline constexpr DWORD kRegistrationWaitMs = 60 * 1000;

HRESULT RegisterServer(RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace wb::entry
