// UTF-16 text, the one string type of the system, and the few text helpers
// that the modules share.
#pragma once

#include <string>
#include <string_view>

namespace wb {

using String = std::u16string;
using StringView = std::u16string_view;

// Conversions used at the edges (JSON scenario files, journals, test output).
// Invalid input never throws: unpaired surrogates become U+FFFD, and so does
// each maximal part of a byte sequence that is not UTF-8 (an overlong form,
// a surrogate, a code point above U+10FFFF, a sequence cut short, a stray
// byte), as the Unicode standard recommends; nothing but well-formed UTF-8
// decodes to a character other than U+FFFD.
std::string ToUtf8(StringView text);
String FromUtf8(std::string_view text);

// Text without leading and trailing U+0020 (the only character trimmed).
StringView TrimSpaces(StringView text);

// ASCII-only case folding, as automation member names and ProgIDs use.
String AsciiUpper(StringView text);
bool EqualsIgnoreAsciiCase(StringView a, StringView b);

}  // namespace wb
