// `ScopedLocalAlloc`: memory from LocalAlloc, freed with LocalFree; what
// FormatMessage (FORMAT_MESSAGE_ALLOCATE_BUFFER) and CommandLineToArgvW hand
// to their caller. `ScopedLocalAllocTyped<T>` holds a `T*`.
#pragma once

#include <windows.h>

#include "win/scoped_generic.h"

namespace wb::win {

template <class T>
struct LocalAllocTraits {
  static T* InvalidValue() noexcept { return nullptr; }
  static void Free(T* memory) noexcept { LocalFree(memory); }
};

template <class T>
using ScopedLocalAllocTyped = ScopedGeneric<T*, LocalAllocTraits<T>>;
using ScopedLocalAlloc = ScopedLocalAllocTyped<void>;

}  // namespace wb::win
