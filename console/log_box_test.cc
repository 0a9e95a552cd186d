#include "console/log_box.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace wb::console {
namespace {

class TextLogBox final : public LogBox {
 public:
  String Text() const override { return text_; }
  void Append(StringView line) override { text_ += line; }

 private:
  String text_;
};

// The native build writes a date as y/m/d h:mm:ss.
TEST(FormatLogLine, TextTabTimeStampLineEnd) {
  // 45000.75 is 2023-03-15 18:00:00.
  EXPECT_EQ(FormatLogLine(u"You click: mnuSet", 45000.75),
            u"You click: mnuSet\t2023/3/15 18:00:00\r\n");
  EXPECT_EQ(FormatLogLine(u"", 45000.75), u"\t2023/3/15 18:00:00\r\n");
  EXPECT_EQ(FormatLogLine(u"  a\tb  ", 45000.75), u"  a\tb  \t2023/3/15 18:00:00\r\n")
      << "nothing is trimmed";
}

// `time` as the native log writes it, made here from the C library alone.
std::string Stamp(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char text[40];
  std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

// The time stamp is read at the moment of each append.
TEST(AddToText, AppendsOneStampedLinePerCallOldestFirst) {
  TextLogBox log;
  const std::time_t before = std::time(nullptr);
  AddToText(log, u"first");
  AddToText(log, u"");
  const std::time_t after = std::time(nullptr);

  const std::string text = ToUtf8(log.Text());
  bool matched = false;
  for (std::time_t first = before; first <= after; ++first) {
    for (std::time_t second = first; second <= after; ++second)
      matched = matched || text == "first\t" + Stamp(first) + "\r\n\t" + Stamp(second) + "\r\n";
  }
  EXPECT_TRUE(matched) << text;
}

}  // namespace
}  // namespace wb::console
