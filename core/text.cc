#include "core/text.h"

namespace wb {

std::string ToUtf8(StringView text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

String FromUtf8(std::string_view text) {
  String out;
  out.reserve(text.size());
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    // The bytes that may follow the lead: the first one's range excludes
    // overlong forms (E0, F0), surrogates (ED) and what lies past U+10FFFF
    // (F4); C0, C1 and F5 to FF never start a character.
    size_t follow = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      c = lead & 0x0F;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      c = lead & 0x07;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    size_t taken = 1;
    while (taken <= follow && i + taken < text.size()) {
      const unsigned char b = byte(i + taken);
      if (b < low || b > high)
        break;
      c = (c << 6) | (b & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++taken;
    }
    i += taken;
    if (follow == 0 || taken <= follow) {
      out += u'\uFFFD';  // one for the bytes up to the first that cannot follow
    } else if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

StringView TrimSpaces(StringView text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == StringView::npos)
    return {};
  const size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

String AsciiUpper(StringView text) {
  String out(text);
  for (auto& c : out) {
    if (c >= u'a' && c <= u'z')
      c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return out;
}

bool EqualsIgnoreAsciiCase(StringView a, StringView b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z')
      x = static_cast<char16_t>(x - u'a' + u'A');
    if (y >= u'a' && y <= u'z')
      y = static_cast<char16_t>(y - u'a' + u'A');
    if (x != y)
      return false;
  }
  return true;
}

}  // namespace wb
