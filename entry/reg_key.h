// The few registry operations that registration needs, on keys owned by a
// `win::ScopedHKEY` (closed on every path).
#pragma once

#include <windows.h>

#include <cwchar>
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

// A REG_SZ or REG_EXPAND_SZ value as it is stored, with its type; an empty
// text (and type REG_NONE) when it is missing or of another type.
inline std::wstring GetRegText(HKEY key, const wchar_t* name, DWORD* type_out = nullptr) {
  if (type_out != nullptr)
    *type_out = REG_NONE;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::wstring();
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::wstring();
  }
  value.resize(wcsnlen(value.c_str(), size / sizeof(wchar_t)));
  if (type_out != nullptr)
    *type_out = type;
  return value;
}

// A path as COM reads it from a REG_SZ or REG_EXPAND_SZ value: the latter
// with its environment variables expanded. Empty when missing, of another
// type, or not expandable.
inline std::wstring GetRegPath(HKEY key, const wchar_t* name) {
  DWORD type = REG_NONE;
  const std::wstring text = GetRegText(key, name, &type);
  if (type != REG_EXPAND_SZ || text.empty())
    return text;
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0)
    return std::wstring();
  std::wstring expanded(needed, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed)
    return std::wstring();
  expanded.resize(wcsnlen(expanded.c_str(), needed));
  return expanded;
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
