// `ScopedVariant`: an owned VARIANT, cleared with VariantClear.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cassert>

namespace wb::win {

class ScopedVariant {
 public:
  ScopedVariant() noexcept { VariantInit(&var_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ScopedVariant(ScopedVariant&& other) noexcept : var_(other.Release()) {}
  ScopedVariant& operator=(ScopedVariant&& other) noexcept {
    if (this != &other)
      Reset(other.Release());
    return *this;
  }
  ~ScopedVariant() { VariantClear(&var_); }

  // Clears the held value and adopts `var` (its contents become owned here).
  void Reset(const VARIANT& var) noexcept {
    VariantClear(&var_);
    var_ = var;
  }
  void Reset() noexcept { VariantClear(&var_); }
  // Gives up ownership of the contents; this holder becomes VT_EMPTY.
  [[nodiscard]] VARIANT Release() noexcept {
    VARIANT out = var_;
    VariantInit(&var_);
    return out;
  }
  // For out-parameters of an empty owner (win/scoped_generic.h).
  VARIANT* Receive() noexcept {
    assert(V_VT(&var_) == VT_EMPTY && "Receive on an owner that holds a value");
    VariantClear(&var_);
    return &var_;
  }

  VARTYPE type() const noexcept { return V_VT(&var_); }
  const VARIANT& Get() const noexcept { return var_; }
  // The held value for a call that reads it, or changes it in place.
  VARIANT* AsInput() noexcept { return &var_; }

 private:
  VARIANT var_;
};

}  // namespace wb::win
