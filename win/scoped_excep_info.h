// `ScopedExcepInfo`: an EXCEPINFO whose three texts are owned (freed with
// SysFreeString), for the out-parameter of IDispatch::Invoke.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include <cassert>

namespace wb::win {

class ScopedExcepInfo {
 public:
  ScopedExcepInfo() noexcept : info_{} {}
  ScopedExcepInfo(const ScopedExcepInfo&) = delete;
  ScopedExcepInfo& operator=(const ScopedExcepInfo&) = delete;
  ~ScopedExcepInfo() { Reset(); }

  // Frees the texts and empties every field.
  void Reset() noexcept {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
    info_ = EXCEPINFO{};
  }
  // For the out-parameter of IDispatch::Invoke, on an empty owner
  // (win/scoped_generic.h).
  EXCEPINFO* Receive() noexcept {
    assert(!info_.bstrSource && !info_.bstrDescription && !info_.bstrHelpFile &&
           "Receive on an owner that holds a value");
    Reset();
    return &info_;
  }

  const EXCEPINFO& Get() const noexcept { return info_; }
  // The held EXCEPINFO for a call that completes it in place (the callee's
  // pfnDeferredFillIn); the texts it adds become owned here.
  EXCEPINFO* AsInput() noexcept { return &info_; }

 private:
  EXCEPINFO info_;
};

}  // namespace wb::win
