// The console's log box `txtLog` and its one writer, `AddToText`.
#pragma once

#include "core/text.h"

namespace wb::console {

// Where the log lines go: the window's edit control, or a plain text in tests.
class LogBox {
 public:
  virtual ~LogBox() = default;
  // The whole text of the box.
  virtual String Text() const = 0;
  // Adds `line` at the end, as assigning Text() + line would. On failure it
  // raises through Err and leaves the text as it was.
  virtual void Append(StringView line) = 0;
};

// One log line: the caller's text, a TAB, the date and time `now` as the
// locale's default text, and "\r\n". Nothing is trimmed.
String FormatLogLine(StringView strLog, double now);

// Appends `strLog` with the current local date and time as one line.
void AddToText(LogBox& log, String strLog);

}  // namespace wb::console
