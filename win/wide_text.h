// Windows' wide texts are UTF-16, as the project's `String` is: views from
// one to the other, and the UTF-8 edges of wide texts (file names, test
// output), through the project's own conversions (core/text.h).
#pragma once

#include <string>
#include <string_view>

#include "core/text.h"

namespace wb::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline StringView AsStringView(std::wstring_view text) noexcept {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

inline std::wstring_view AsWideView(StringView text) noexcept {
  return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

// A wide text as UTF-8, and UTF-8 as a wide text.
inline std::string Utf8(std::wstring_view text) {
  return ToUtf8(AsStringView(text));
}

inline std::wstring Wide(std::string_view utf8) {
  return std::wstring(AsWideView(FromUtf8(utf8)));
}

}  // namespace wb::win
