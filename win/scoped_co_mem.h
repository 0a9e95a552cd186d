// `ScopedCoMem<T>`: memory from CoTaskMemAlloc, freed with CoTaskMemFree;
// what COM hands to a caller through an out-parameter (StringFromCLSID,
// ProgIDFromCLSID, ...).
#pragma once

#include <windows.h>

#include <objbase.h>

#include "win/scoped_generic.h"

namespace wb::win {

template <class T>
struct CoMemTraits {
  static T* InvalidValue() noexcept { return nullptr; }
  static void Free(T* memory) noexcept { CoTaskMemFree(memory); }
};

template <class T>
using ScopedCoMem = ScopedGeneric<T*, CoMemTraits<T>>;

}  // namespace wb::win
