// `ReadRegistryValue`: one value of an open key, read whole but bounded, as
// it is stored (a REG_EXPAND_SZ is not expanded), and `ExpandEnvironment`,
// its expansion against the process's environment, bounded as well. For
// values that come from outside (policies): what is too long is refused,
// never cut.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace wb::win {

struct RegistryValue {
  // ERROR_SUCCESS when read; ERROR_FILE_NOT_FOUND when absent;
  // ERROR_MORE_DATA when longer than the bound; another error as the
  // system gave it.
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  // A REG_SZ or REG_EXPAND_SZ value's text, up to its first NUL; nullopt
  // for another type, or a size that is no whole number of characters.
  std::optional<std::wstring> Text() const;
  // A REG_DWORD value; nullopt for another type.
  std::optional<DWORD> Dword() const;
};

// `name` of `key` (the process's own registry view), at most `max_bytes`.
RegistryValue ReadRegistryValue(HKEY key, const wchar_t* name, DWORD max_bytes);

// `text` with its %variables% expanded; nullopt when the result would be
// longer than `max_chars` or the expansion failed. A variable that the
// process does not have is left as written, as Windows leaves it.
std::optional<std::wstring> ExpandEnvironment(const std::wstring& text, size_t max_chars);

}  // namespace wb::win
