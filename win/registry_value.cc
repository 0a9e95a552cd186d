#include "win/registry_value.h"

#include <cstring>

namespace wb::win {

std::optional<std::wstring> RegistryValue::Text() const {
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
      data.size() % sizeof(wchar_t) != 0)
    return std::nullopt;
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), data.size());
  text.resize(std::wcslen(text.c_str()));
  return text;
}

std::optional<DWORD> RegistryValue::Dword() const {
  if (status != ERROR_SUCCESS || type != REG_DWORD || data.size() != sizeof(DWORD))
    return std::nullopt;
  DWORD value = 0;
  std::memcpy(&value, data.data(), sizeof value);
  return value;
}

RegistryValue ReadRegistryValue(HKEY key, const wchar_t* name, DWORD max_bytes) {
  RegistryValue value;
  DWORD bytes = 0;
  value.status = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &bytes);
  if (value.status != ERROR_SUCCESS)
    return value;
  if (bytes > max_bytes) {
    value.status = ERROR_MORE_DATA;
    return value;
  }
  value.data.resize(bytes);
  // The value may have changed since its size was asked: a longer one now
  // fails with ERROR_MORE_DATA, which is the bound's answer too.
  value.status = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &bytes);
  value.data.resize(value.status == ERROR_SUCCESS ? bytes : 0);
  return value;
}

std::optional<std::wstring> ExpandEnvironment(const std::wstring& text, size_t max_chars) {
  // The size asked for includes the closing NUL.
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0 || needed - 1 > max_chars)
    return std::nullopt;
  std::wstring expanded(needed, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed)
    return std::nullopt;
  expanded.resize(written - 1);
  return expanded;
}

}  // namespace wb::win
