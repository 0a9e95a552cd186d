// The few registry operations that registration needs, on keys owned by a
// `win::ScopedHKEY` (closed on every path).
#pragma once

#include <windows.h>

#include <string>

#include "win/scoped_hkey.h"

namespace wb::entry {

// Creates (or opens) `subkey` of `parent` for reading and writing.
inline LSTATUS CreateRegKey(HKEY parent,
                            const std::wstring& subkey,
                            win::ScopedHKEY& out) noexcept {
  return RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_READ | KEY_WRITE, nullptr, out.Receive(), nullptr);
}

// Opens `subkey` of `parent`; fails when it does not exist.
inline LSTATUS OpenRegKey(HKEY parent,
                          const std::wstring& subkey,
                          REGSAM access,
                          win::ScopedHKEY& out) noexcept {
  return RegOpenKeyExW(parent, subkey.c_str(), 0, access, out.Receive());
}

// Writes a REG_SZ value; an empty name is the key's default value.
inline LSTATUS SetRegString(HKEY key, const wchar_t* name, const std::wstring& value) noexcept {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Number of subkeys, or -1 when it cannot be read.
inline long SubkeyCount(HKEY key) noexcept {
  DWORD count = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return -1;
  }
  return static_cast<long>(count);
}

}  // namespace wb::entry
