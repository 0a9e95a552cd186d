// A text of the trace as a message shows it. A trace comes from outside, so
// its texts may hold anything: control characters that would move the
// cursor, clear the screen or start a line that looks like the tool's own,
// characters that turn the text's direction, bytes that are no UTF-8, or a
// megabyte of one name. Shown, each such character is escaped (`\n`,
// `\u001b`, `\u202e`, `\xff`; a backslash as `\\`), and a text longer than
// `max_chars` is cut, with its size in bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace replay {

inline constexpr size_t kShownChars = 80;

std::string Shown(std::string_view text, size_t max_chars = kShownChars);

}  // namespace replay
