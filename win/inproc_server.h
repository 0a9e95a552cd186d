// The in-process server: what every COM DLL of the project does alike. The
// module defines DllMain (which records and pins the DLL), DllGetClassObject
// (one class factory per row of the DLL's class table) and DllCanUnloadNow
// (busy while one of the module's objects lives or a client holds a lock).
// A DLL lists its classes by defining `ServedClasses` and names the two
// exports in its .def; its registration exports stay its own.
//
// The factories live as long as the module: a client's reference to one
// holds nothing, LockServer does.
#pragma once

#include <windows.h>

#include <span>
#include <string>

namespace wb::win {

// One class the DLL serves.
struct ServerClass {
  CLSID clsid;
  const char* prog_id;
  // A new instance of the class, asked for `iid` (`out` is valid and null,
  // aggregation already refused). No exception may leave it.
  HRESULT (*create)(const ServerClass& server_class, REFIID iid, void** out) noexcept;
};

// Defined by each DLL: its classes, alive as long as the module. Called on the
// first DllGetClassObject, outside the loader lock.
std::span<const ServerClass> ServedClasses();

// This DLL's full path (empty when the system cannot give it).
std::wstring ThisModulePath();

// True while one of the module's objects (LiveModuleObjects) lives or a
// client holds a lock.
bool ModuleInUse() noexcept;

}  // namespace wb::win
