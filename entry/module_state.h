// What the DLL knows about itself: its module handle, its path, and the live
// instances and class-factory locks that keep it loaded.
#pragma once

#include <windows.h>

#include <string>

namespace wb::entry {

// Recorded once by DllMain on process attach.
void SetModuleHandle(HMODULE module) noexcept;
HMODULE ModuleHandle() noexcept;

// The full path of this DLL; empty when the system cannot give it.
std::wstring ModulePath();

// True while an instance (win::LiveModuleObjects) or a class-factory lock is
// alive.
bool ModuleInUse() noexcept;

// IClassFactory::LockServer. An unlock without a lock is refused (false) so
// that a client's extra unlock cannot make the DLL look permanently busy.
void LockServer() noexcept;
bool UnlockServer() noexcept;

}  // namespace wb::entry
