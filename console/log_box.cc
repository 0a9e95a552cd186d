#include "console/log_box.h"

#include "core/platform.h"

namespace wb::console {

String FormatLogLine(StringView strLog, double now) {
  String line(strLog);
  line += u'\t';
  line += platform::DateToText(now);
  line += u"\r\n";
  return line;
}

void AddToText(LogBox& log, String strLog) {
  log.Append(FormatLogLine(strLog, platform::Now()));
}

}  // namespace wb::console
