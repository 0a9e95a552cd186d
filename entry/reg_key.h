// `RegKey`: an owned open registry key, closed on destruction, with the few
// operations that registration needs.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace wb::entry {

class RegKey {
 public:
  RegKey() noexcept = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    Reset(std::exchange(other.key_, nullptr));
    return *this;
  }
  ~RegKey() { Reset(); }

  // Creates (or opens) `subkey` of `parent` for writing.
  static LSTATUS Create(HKEY parent, const std::wstring& subkey, RegKey& out) noexcept {
    return RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE, nullptr, out.Receive(), nullptr);
  }
  // Opens `subkey` of `parent`; fails when it does not exist.
  static LSTATUS Open(HKEY parent,
                      const std::wstring& subkey,
                      REGSAM access,
                      RegKey& out) noexcept {
    return RegOpenKeyExW(parent, subkey.c_str(), 0, access, out.Receive());
  }

  // Writes a REG_SZ value; an empty name is the key's default value.
  LSTATUS SetString(const wchar_t* name, const std::wstring& value) const noexcept {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

  // Number of subkeys, or -1 when it cannot be read.
  long SubkeyCount() const noexcept {
    DWORD count = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return -1;
    }
    return static_cast<long>(count);
  }

  HKEY Get() const noexcept { return key_; }

 private:
  void Reset(HKEY key = nullptr) noexcept {
    if (HKEY old = std::exchange(key_, key))
      RegCloseKey(old);
  }
  HKEY* Receive() noexcept {
    Reset();
    return &key_;
  }

  HKEY key_ = nullptr;
};

}  // namespace wb::entry
