// `ScopedGeneric<T, Traits>`: sole ownership of a value that a function frees
// (a handle, a registry key, an allocation), in the manner of Chromium's
// base/scoped_generic.h. The aliases for the kinds this system holds live in
// their own headers beside this one.
//
// `Traits` gives
//   static T InvalidValue();   what an empty owner holds
//   static void Free(T value); frees a value that is held
// and, when more than one value means "nothing" (a kernel HANDLE),
//   static bool IsValid(T value);
// otherwise a value is held when it differs from InvalidValue().
//
// `Receive()` hands out the storage for an out-parameter of an empty owner.
// A Receive on an owner that still holds a value is a slip: the test programs
// stop on it (they are built with assertions), while the shipped DLLs free the
// value first, so that the host neither leaks nor goes down. Every owner of
// this folder follows the same rule.
#pragma once

#include <cassert>
#include <utility>

namespace wb::win {

template <class T, class Traits>
class ScopedGeneric {
 public:
  using element_type = T;
  using traits_type = Traits;

  ScopedGeneric() noexcept = default;
  // Adopts `value` (it is freed with this owner).
  explicit ScopedGeneric(T value) noexcept : value_(value) {}
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ScopedGeneric(ScopedGeneric&& other) noexcept : value_(other.Release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~ScopedGeneric() { Reset(); }

  // Frees the held value (unless it is `value` itself) and adopts `value`.
  void Reset(T value = Traits::InvalidValue()) noexcept {
    const T old = std::exchange(value_, value);
    if (old != value && IsHeld(old))
      Traits::Free(old);
  }
  // Gives up ownership: the caller frees the value.
  [[nodiscard]] T Release() noexcept { return std::exchange(value_, Traits::InvalidValue()); }
  // For out-parameters of an empty owner (see above).
  T* Receive() noexcept {
    assert(!IsHeld(value_) && "Receive on an owner that holds a value");
    Reset();
    return &value_;
  }

  T Get() const noexcept { return value_; }
  bool IsValid() const noexcept { return IsHeld(value_); }
  explicit operator bool() const noexcept { return IsValid(); }

 private:
  static bool IsHeld(T value) noexcept {
    if constexpr (requires { Traits::IsValid(value); }) {
      return Traits::IsValid(value);
    } else {
      return value != Traits::InvalidValue();
    }
  }

  T value_ = Traits::InvalidValue();
};

}  // namespace wb::win
