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
  size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len = b0 < 0x80           ? 1
                 : (b0 >> 5) == 0x6  ? 2
                 : (b0 >> 4) == 0xE  ? 3
                 : (b0 >> 3) == 0x1E ? 4
                                     : 0;
    char32_t c = 0xFFFD;
    if (len == 0 || i + len > text.size()) {
      len = 1;
    } else {
      c = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
      for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
          c = 0xFFFD;
          len = k;
          break;
        }
        c = (c << 6) | (b & 0x3F);
      }
      if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
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
