// `com_ptr<T>`: an owning reference to a COM interface.
//
// Holds one reference (AddRef on copy, Release on destruction, reset or
// reassignment). `put()` hands out the address of the raw pointer for an
// out-parameter after releasing what was held; `Attach` adopts a reference the
// caller already owns and `Detach` gives it up without releasing.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace wb {

template <class T>
class com_ptr {
 public:
  com_ptr() noexcept = default;
  com_ptr(std::nullptr_t) noexcept {}  // NOLINT: implicit from nullptr, as a pointer
  // Takes a new reference on `p`.
  explicit com_ptr(T* p) noexcept : p_(p) {
    if (p_)
      p_->AddRef();
  }
  com_ptr(const com_ptr& other) noexcept : com_ptr(other.p_) {}
  com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  com_ptr& operator=(com_ptr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~com_ptr() { reset(); }

  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr))
      p->Release();
  }
  // Adopts a reference that the caller owns (no AddRef).
  void Attach(T* p) noexcept {
    reset();
    p_ = p;
  }
  // Gives up the reference without releasing it.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(p_, nullptr); }

  // For out-parameters: releases the current reference first.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // QueryInterface for `U`; empty when the object lacks it (or is empty).
  template <class U>
  com_ptr<U> query() const noexcept {
    com_ptr<U> result;
    if (p_)
      p_->QueryInterface(__uuidof(U), result.put_void());
    return result;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace wb
