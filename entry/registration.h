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
// Registration stops at the first key it cannot write, removes what it wrote
// and reports that failure. Unregistration removes exactly these keys; while
// the other width's DLL stays registered (its class key in the other
// registry view), only this width's class key and its platform entry under
// the type library go, and the keys the two views share stay for it.
#pragma once

#include <windows.h>

namespace wb::entry {

enum class RegistrationScope { kAllUsers, kCurrentUser };

HRESULT RegisterServer(RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace wb::entry
