// `StackComObject<...>`: a test's COM object in a scope, with the interfaces
// of win::ComObject. It counts its references so that the test sees each one
// given back, and deletes nothing.
#pragma once

#include <windows.h>

#include "win/com_object.h"

namespace wb::win {

template <class... Entries>
class StackComObject : public internal::ComInterfaces<Entries...> {
 public:
  ULONG STDMETHODCALLTYPE AddRef() final { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() final { return static_cast<ULONG>(--refs_); }

  // References taken and not given back yet.
  LONG refs() const noexcept { return refs_; }

 protected:
  StackComObject() = default;
  ~StackComObject() = default;

 private:
  LONG refs_ = 0;
};

}  // namespace wb::win
