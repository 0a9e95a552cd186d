// The DLL's entry points: DllMain and the exports of a self-registering
// in-process server (named in Workbench.def).
#include <windows.h>

#include <cwchar>

#include "entry/class_factory.h"
#include "entry/module_state.h"
#include "entry/registration.h"
#include "entry/workbench_idl.h"

using wb::entry::RegistrationScope;

// Kept minimal: no COM call may be made under the loader lock. Thread
// notifications stay on: the statically linked runtime frees each thread's
// thread_local storage (the error record) when the thread detaches.
//
// That runtime also holds a reference on this module for every thread that
// has such storage, and drops it with FreeLibrary from code inside this module
// as the thread ends. When COM has already let the DLL go (the last apartment
// that used it was uninitialized), that FreeLibrary unloads the module under
// its own feet and the host crashes at thread exit. So the module is pinned
// when it is loaded: it stays until the process ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wb::entry::SetModuleHandle(instance);
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(instance), &pinned);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_CWorkbench))
    return CLASS_E_CLASSNOTAVAILABLE;
  return wb::entry::WorkbenchFactory::Instance().QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
  return wb::entry::ModuleInUse() ? S_FALSE : S_OK;
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
