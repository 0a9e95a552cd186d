// Small owners for COM resources: a BSTR, a VARIANT and an interface pointer.
// Each releases what it holds on every path; `Release()`/`Detach()` hand the
// resource to a caller that takes ownership (an out parameter).
#pragma once

#include <windows.h>  // first: the other Windows headers need it

#include <oleauto.h>

#include <utility>

#include "bridge/text.h"

namespace refsuite::com {

inline const OLECHAR* Ole(wb::StringView text) {
  return reinterpret_cast<const OLECHAR*>(text.data());
}
inline wb::StringView Text(const OLECHAR* text, size_t length) {
  return {reinterpret_cast<const char16_t*>(text), length};
}

class ScopedBstr {
 public:
  ScopedBstr() = default;
  // Copies `text`; check ok() for a failed allocation.
  explicit ScopedBstr(wb::StringView text)
      : bstr_(SysAllocStringLen(Ole(text), static_cast<UINT>(text.size()))) {}
  ~ScopedBstr() { SysFreeString(bstr_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  bool ok() const { return bstr_ != nullptr; }
  BSTR get() const { return bstr_; }
  BSTR Release() { return std::exchange(bstr_, nullptr); }

 private:
  BSTR bstr_ = nullptr;
};

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&var_); }
  ~ScopedVariant() { VariantClear(&var_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  const VARIANT& get() const { return var_; }
  // Cleared storage for a function that fills it.
  VARIANT* Receive() {
    VariantClear(&var_);
    return &var_;
  }
  VARIANT Release() {
    VARIANT out = var_;
    VariantInit(&var_);
    return out;
  }

 private:
  VARIANT var_;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a share (AddRef).
  explicit ComPtr(T* p) : p_(p) {
    if (p_)
      p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr))
      p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Storage for an out parameter that hands over a share.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  // Gives the share to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

}  // namespace refsuite::com
