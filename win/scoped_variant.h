// `ScopedVariant`: an owned VARIANT, cleared with VariantClear.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cassert>
#include <cstdint>
#include <type_traits>

#include "core/text.h"
#include "win/scoped_bstr.h"

namespace wb::win {

class ScopedVariant {
 public:
  ScopedVariant() noexcept { VariantInit(&var_); }
  // Values: VT_I4 (also from Windows' LONG, a `long`), VT_I2, VT_R8. Note
  // that VARIANT_TRUE is a SHORT, so it makes a VT_I2.
  explicit ScopedVariant(int32_t value) noexcept : ScopedVariant() {
    V_VT(&var_) = VT_I4;
    V_I4(&var_) = value;
  }
  explicit ScopedVariant(long value) noexcept : ScopedVariant(static_cast<int32_t>(value)) {
    static_assert(sizeof(long) == sizeof(int32_t));
  }
  explicit ScopedVariant(int16_t value) noexcept : ScopedVariant() {
    V_VT(&var_) = VT_I2;
    V_I2(&var_) = value;
  }
  explicit ScopedVariant(double value) noexcept : ScopedVariant() {
    V_VT(&var_) = VT_R8;
    V_R8(&var_) = value;
  }
  // VT_BOOL from a `bool` alone: a pointer or a number does not become one.
  template <typename Bool, std::enable_if_t<std::is_same_v<Bool, bool>, int> = 0>
  explicit ScopedVariant(Bool value) noexcept : ScopedVariant() {
    V_VT(&var_) = VT_BOOL;
    V_BOOL(&var_) = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  // VT_BSTR, an owned copy of `text`. Throws std::bad_alloc as ScopedBstr does.
  explicit ScopedVariant(StringView text) : ScopedVariant() {
    V_BSTR(&var_) = ScopedBstr(text).Release();
    V_VT(&var_) = VT_BSTR;
  }
  // VT_DISPATCH holding a reference of its own to `object` (which may be null).
  explicit ScopedVariant(IDispatch* object) noexcept : ScopedVariant() {
    if (object != nullptr)
      object->AddRef();
    V_VT(&var_) = VT_DISPATCH;
    V_DISPATCH(&var_) = object;
  }
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
