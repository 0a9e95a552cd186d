// The DLL's class and its registration exports (named in Workbench.def, with
// DllGetClassObject and DllCanUnloadNow of the in-process server module).
#include <windows.h>

#include <cwchar>

#include "entry/registration.h"
#include "entry/workbench_idl.h"
#include "entry/workbench_object.h"
#include "win/com_object.h"
#include "win/inproc_server.h"

using wb::entry::RegistrationScope;

namespace {

HRESULT CreateWorkbench(const wb::win::ServerClass&, REFIID iid, void** out) noexcept {
  const Microsoft::WRL::ComPtr<wb::entry::CWorkbench> instance =
      wb::win::Make<wb::entry::CWorkbench>();
  if (!instance)
    return E_OUTOFMEMORY;
  // The creation reference is dropped once the caller's reference is taken:
  // an interface the class lacks destroys the instance again.
  return instance->QueryInterface(iid, out);
}

}  // namespace

// The one class of Workbench.dll; the in-process server module
// (win/inproc_server.h) serves it.
std::span<const wb::win::ServerClass> wb::win::ServedClasses() {
  static const ServerClass classes[] = {
      {CLSID_CWorkbench, "Workbench.CWorkbench", &CreateWorkbench}};
  return classes;
}

STDAPI DllRegisterServer() {
  return wb::entry::RegisterServer(RegistrationScope::kAllUsers);
}

STDAPI DllUnregisterServer() {
  return wb::entry::UnregisterServer(RegistrationScope::kAllUsers);
}

// `regsvr32 /n /i:user` registers for the current user only, `/u /n /i:user`
// removes that again; an empty command line means all users.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
  RegistrationScope scope = RegistrationScope::kAllUsers;
  if (command_line != nullptr && command_line[0] != L'\0') {
    if (_wcsicmp(command_line, L"user") != 0)
      return E_INVALIDARG;
    scope = RegistrationScope::kCurrentUser;
  }
  return install ? wb::entry::RegisterServer(scope) : wb::entry::UnregisterServer(scope);
}
