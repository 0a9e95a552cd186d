#include "tools/replay/shown.h"

#include <cstdint>
#include <cstdio>

namespace replay {

namespace {

// The length of the UTF-8 sequence that starts `text` and its code point;
// 0 when it is no well-formed sequence.
size_t Decode(std::string_view text, uint32_t& code) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t size = 0;
  uint32_t min = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
    code = lead & 0x1Fu;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    code = lead & 0x0Fu;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    code = lead & 0x07u;
    min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < size)
    return 0;
  for (size_t i = 1; i < size; ++i) {
    if ((byte(i) & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return size;
}

// Characters that act on the terminal or on the order of what follows.
bool Escaped(uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         (code >= 0x200E && code <= 0x200F) || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069) || code == 0x061C || code == 0xFEFF;
}

}  // namespace

std::string Shown(std::string_view text, size_t max_chars) {
  std::string out;
  size_t chars = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (chars == max_chars) {
      out += "... (" + std::to_string(text.size()) + " bytes)";
      break;
    }
    ++chars;
    uint32_t code = 0;
    const size_t size = Decode(text.substr(at), code);
    char escape[16];
    if (size == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[at]));
      out += escape;
      ++at;
      continue;
    }
    if (code == '\\') {
      out += "\\\\";
    } else if (code == '\n') {
      out += "\\n";
    } else if (code == '\r') {
      out += "\\r";
    } else if (code == '\t') {
      out += "\\t";
    } else if (Escaped(code)) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
      out += escape;
    } else {
      out.append(text.substr(at, size));
    }
    at += size;
  }
  return out;
}

}  // namespace replay
