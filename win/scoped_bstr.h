// `ScopedBstr`: an owned BSTR, freed with SysFreeString.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cassert>
#include <new>
#include <utility>

#include "core/text.h"

namespace wb::win {

class ScopedBstr {
 public:
  ScopedBstr() noexcept = default;
  // A copy of `text`, embedded NULs included. Throws std::bad_alloc when the
  // allocation fails (a BSTR that silently went missing would read as "").
  explicit ScopedBstr(StringView text);
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ScopedBstr(ScopedBstr&& other) noexcept : bstr_(other.Release()) {}
  ScopedBstr& operator=(ScopedBstr&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  ~ScopedBstr() { Reset(); }

  // Frees the held string (unless it is `bstr` itself) and adopts `bstr`.
  void Reset(BSTR bstr = nullptr) noexcept {
    const BSTR old = std::exchange(bstr_, bstr);
    if (old != nullptr && old != bstr)
      SysFreeString(old);
  }
  // Gives up ownership: the caller frees the string.
  [[nodiscard]] BSTR Release() noexcept { return std::exchange(bstr_, nullptr); }
  // For out-parameters of an empty owner (win/scoped_generic.h).
  BSTR* Receive() noexcept {
    assert(bstr_ == nullptr && "Receive on an owner that holds a value");
    Reset();
    return &bstr_;
  }

  BSTR Get() const noexcept { return bstr_; }
  explicit operator bool() const noexcept { return bstr_ != nullptr; }
  // Length in UTF-16 units (SysStringLen: embedded NULs count).
  UINT Length() const noexcept { return SysStringLen(bstr_); }
  String Text() const { return TextOf(bstr_); }

  // The text of a BSTR that is not owned (null reads as "").
  static String TextOf(BSTR bstr) {
    return bstr ? String(reinterpret_cast<const char16_t*>(bstr), SysStringLen(bstr)) : String();
  }

 private:
  BSTR bstr_ = nullptr;
};

inline ScopedBstr::ScopedBstr(StringView text) {
  static_assert(sizeof(OLECHAR) == sizeof(char16_t));
  bstr_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                            static_cast<UINT>(text.size()));
  if (bstr_ == nullptr)
    throw std::bad_alloc();
}

}  // namespace wb::win
