// Registration of the class and its type library, for all users (HKCR, what
// DllRegisterServer does) or for the current user only (HKCU\Software\Classes,
// what `regsvr32 /n /i:user` asks through DllInstall).
//
// Written under the classes root:
//   CLSID\{CLSID}                     "Workbench.CWorkbench"
//     InprocServer32                  the DLL's path; ThreadingModel "Apartment"
//     ProgID                          "Workbench.CWorkbench"
//     TypeLib                         {LIBID}
//     Version                         "1.0"
//   Workbench.CWorkbench              "Workbench.CWorkbench"
//     CLSID                           {CLSID}
//   TypeLib\{LIBID}\1.0 and Interface\{IID}: the type library and the dual
//     interface (automation marshaling), by RegisterTypeLib for all users and
//     written by hand for the current user (the platform's per-user call
//     registers for all users under Wine).
// Unregistration removes exactly these keys; a type library version key is
// kept while another platform's DLL is still registered under it.
#pragma once

#include <windows.h>

namespace wb::entry {

enum class RegistrationScope { kAllUsers, kCurrentUser };

HRESULT RegisterServer(RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace wb::entry
