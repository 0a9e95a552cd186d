#include "console/log_box.h"

#include <gtest/gtest.h>

#include "bridge/convert.h"
#include "bridge/err.h"
#include "bridge/platform.h"

namespace wb::console {
namespace {

class TextLogBox final : public LogBox {
 public:
  String Text() const override { return text_; }
  void Append(StringView line) override { text_ += line; }

 private:
  String text_;
};

TEST(FormatLogLine, TextTabTimeStampLineEnd) {
  // 45000.75 is 2023-03-15 18:00:00.
  EXPECT_EQ(ToUtf8(FormatLogLine(u"You click: mnuSet", 45000.75)),
            "You click: mnuSet\t" + ToUtf8(platform::DateToText(45000.75)) + "\r\n");
  EXPECT_EQ(FormatLogLine(u"", 45000.75), u"\t" + platform::DateToText(45000.75) + u"\r\n");
  // Nothing is trimmed.
  EXPECT_EQ(FormatLogLine(u"  a\tb  ", 45000.75).substr(0, 8), u"  a\tb  \t");
}

// The time stamp is read at the moment of the append.
TEST(AddToText, AppendsOneStampedLinePerCallOldestFirst) {
  TextLogBox log;
  const double before = platform::Now();
  AddToText(log, u"first");
  AddToText(log, u"");
  const double after = platform::Now();

  const String text = log.Text();
  const auto stamped = [&](const char16_t* what) {
    return FormatLogLine(what, before) == text.substr(0, FormatLogLine(what, before).size()) ||
           FormatLogLine(what, after) == text.substr(0, FormatLogLine(what, after).size());
  };
  EXPECT_TRUE(stamped(u"first")) << ToUtf8(text);
  const size_t second = text.find(u"\r\n") + 2;
  const String rest = text.substr(second);
  EXPECT_TRUE(rest == FormatLogLine(u"", before) || rest == FormatLogLine(u"", after))
      << ToUtf8(rest);
}

}  // namespace
}  // namespace wb::console
