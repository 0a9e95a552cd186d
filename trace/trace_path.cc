#include "trace/trace_path.h"

namespace wb::trace {

namespace {

bool IsSeparator(char16_t c) {
  return c == u'\\' || c == u'/';
}

bool IsLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

char16_t Upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsUpper(std::u16string_view text, std::u16string_view upper) {
  if (text.size() != upper.size())
    return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i])
      return false;
  }
  return true;
}

// "X:\" at the start.
bool HasDriveRoot(std::u16string_view path) {
  return path.size() >= 3 && IsLetter(path[0]) && path[1] == u':' && IsSeparator(path[2]);
}

// Windows reads a DOS device name in any folder, with any extension and
// trailing spaces or dots: "C:\logs\com1.txt" is the serial port.
bool IsDeviceName(std::u16string_view name) {
  const size_t dot = name.find(u'.');
  std::u16string_view base = name.substr(0, dot);
  while (!base.empty() && (base.back() == u' ' || base.back() == u'.'))
    base.remove_suffix(1);
  for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"}) {
    if (EqualsUpper(base, device))
      return true;
  }
  if (base.size() == 4 &&
      (EqualsUpper(base.substr(0, 3), u"COM") || EqualsUpper(base.substr(0, 3), u"LPT"))) {
    const char16_t n = base[3];
    // Digits, and the superscripts one to three that Windows takes too.
    return (n >= u'0' && n <= u'9') || n == u'\u00B9' || n == u'\u00B2' || n == u'\u00B3';
  }
  return false;
}

}  // namespace

PathProblem CheckTracePath(std::u16string_view path) {
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
      (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3])) {
    // "\\?\" takes a disk path as it is; anything else there is a namespace.
    std::u16string_view rest = path.substr(4);
    if (path[2] == u'?' && HasDriveRoot(rest)) {
      path = rest;
    } else if (path[2] == u'?' && rest.size() >= 4 && EqualsUpper(rest.substr(0, 3), u"UNC") &&
               IsSeparator(rest[3])) {
      return PathProblem::kShare;
    } else {
      return PathProblem::kNamespace;
    }
  } else if (path.size() >= 4 && IsSeparator(path[0]) && path[1] == u'?' && path[2] == u'?' &&
             IsSeparator(path[3])) {
    return PathProblem::kNamespace;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return PathProblem::kShare;
  }
  if (!HasDriveRoot(path))
    return PathProblem::kRelative;
  if (IsSeparator(path.back()))
    return PathProblem::kBadName;
  size_t start = 3;
  while (start < path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end]))
      ++end;
    const std::u16string_view name = path.substr(start, end - start);
    for (const char16_t c : name) {
      if (c < 0x20 || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' ||
          c == u'|')
        return PathProblem::kBadName;
    }
    if (IsDeviceName(name))
      return PathProblem::kDevice;
    start = end + 1;
  }
  return PathProblem::kNone;
}

}  // namespace wb::trace
