// Conversions and tests with the runtime's semantics.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bridge/convert.h"
#include "core/err.h"
#include "core/platform.h"
#include "core/runtime_errors.h"

namespace wb {
namespace {

int32_t RaisedNumber(const std::function<void()>& f) {
  Err::Clear();
  try {
    f();
  } catch (const RaisedError&) {
    return Err::Number();
  }
  return 0;
}

TEST(AnswerTest, OnlyTrueAndNullPass) {
  EXPECT_TRUE(PassesAnswerTest(Variant::Bool(true)));
  EXPECT_TRUE(PassesAnswerTest(Variant::Null()));
  EXPECT_TRUE(PassesAnswerTest(Variant::Long(-1)));
  EXPECT_TRUE(PassesAnswerTest(Variant::Integer(-1)));
  EXPECT_TRUE(PassesAnswerTest(Variant::Double(-1.0)));
  EXPECT_FALSE(PassesAnswerTest(Variant::Bool(false)));
  EXPECT_FALSE(PassesAnswerTest(Variant()));
  EXPECT_FALSE(PassesAnswerTest(Variant::Long(1)));
  EXPECT_FALSE(PassesAnswerTest(Variant::Long(0)));
  EXPECT_FALSE(PassesAnswerTest(Variant::Long(5)));
  EXPECT_FALSE(PassesAnswerTest(Variant::Integer(-2)));
  EXPECT_FALSE(PassesAnswerTest(Variant::Byte(1)));
  EXPECT_TRUE(PassesAnswerTest(Variant::Byte(255))) << "a Byte's complement: Not 255 is 0";
}

TEST(AnswerTest, ValuesWithoutANumericFormRaise) {
  EXPECT_EQ(RaisedNumber([] { PassesAnswerTest(Variant::Str(u"yes")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { PassesAnswerTest(Variant::Unsupported(0x2008)); }),
            rt::kTypeMismatch);
  EXPECT_TRUE(PassesAnswerTest(Variant::Str(u"True")));
}

TEST(ToStringTest, FollowsTheRuntime) {
  EXPECT_EQ(ToString(Variant()), u"");
  EXPECT_EQ(ToString(Variant::Bool(true)), u"True");
  EXPECT_EQ(ToString(Variant::Long(-12)), u"-12");
  EXPECT_EQ(ToString(Variant::Double(1.5)), u"1.5");
  EXPECT_EQ(ToString(Variant::Double(1e20)), u"1E+20");
  EXPECT_EQ(ToString(Variant::Double(1e-5)), u"1E-05");
  EXPECT_EQ(ToString(Variant::Currency(15000)), u"1.5");
  EXPECT_EQ(ToString(Variant::Currency(-1)), u"-0.0001");
  EXPECT_EQ(ToString(Variant::Currency(123456780000)), u"12345678");
  EXPECT_EQ(ToString(Variant::Currency(std::numeric_limits<int64_t>::max())),
            u"922337203685477.5807")
      << "every digit, not the 15 of a Double";
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Date(2958466)); }), rt::kOverflow)
      << "the day after 9999-12-31";
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Date(-657435)); }), rt::kOverflow)
      << "the day before 100-01-01";
  EXPECT_EQ(ToString(Variant::Str(String(u"a\0b", 3))), String(u"a\0b", 3));
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Null()); }), rt::kInvalidUseOfNull);
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Unsupported(0x200C)); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Object(ObjectRef())); }), rt::kObjectNotSet);
}

TEST(ToNumberTest, RoundsHalfToEvenAndChecksRange) {
  EXPECT_EQ(ToLong(Variant::Double(2.5)), 2);
  EXPECT_EQ(ToLong(Variant::Double(3.5)), 4);
  EXPECT_EQ(ToLong(Variant::Str(u" 1800201 ")), 1800201);
  EXPECT_EQ(ToLong(Variant::Str(u"&H10")), 16);
  EXPECT_EQ(ToInteger(Variant::Bool(true)), -1);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Double(3e9)); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToInteger(Variant::Long(40000)); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Double(std::nan(""))); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"12abc")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Null()); }), rt::kInvalidUseOfNull);
  // Ties in a text are decided on its digits, not on the nearest Double.
  EXPECT_EQ(ToLong(Variant::Str(u"2.50000000000000001")), 3);
  EXPECT_EQ(ToLong(Variant::Str(u"1.49999999999999999")), 1);
  EXPECT_EQ(ToInteger(Variant::Str(u"-32768.5")), -32768);
  EXPECT_EQ(RaisedNumber([] { ToInteger(Variant::Str(u"32767.5")); }), rt::kOverflow);
  EXPECT_EQ(ToDouble(Variant::Str(u"1e308")), 1e308);
  // Blanks, signs and separators as the platform's parser takes them.
  EXPECT_EQ(ToLong(Variant::Str(u"1,000")), 1000);
  EXPECT_EQ(ToDouble(Variant::Str(u"1,000.5")), 1000.5);
  EXPECT_EQ(ToLong(Variant::Str(u"(5)")), -5);
  EXPECT_EQ(ToLong(Variant::Str(u"5 -")), -5);
  EXPECT_EQ(ToLong(Variant::Str(u"+-1")), -1);
  EXPECT_EQ(ToLong(Variant::Str(u"\t7\u3000")), 7);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u",5")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"--1")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"(5")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"1e3,0")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"\u200B7")); }), rt::kTypeMismatch)
      << "a zero-width space is no blank";
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"\u00A512")); }), rt::kTypeMismatch)
      << "no currency symbol: the bridge does not read the locale";
  // &H and &O digits take the width of the target.
  EXPECT_EQ(ToInteger(Variant::Str(u"&HFFFF")), -1);
  EXPECT_EQ(ToLong(Variant::Str(u"&HFFFF")), 65535);
  EXPECT_EQ(ToDouble(Variant::Str(u"&H8000")), 32768);
  EXPECT_EQ(ToLong(Variant::Str(u"&O177777")), 65535);
  EXPECT_EQ(ToLong(Variant::Str(u"&HFFFFFFFF")), -1);
  EXPECT_EQ(ToDouble(Variant::Str(u"&HFFFFFFFF")), -1);
  EXPECT_EQ(ToLong(Variant::Str(u"-&H10")), 16) << "the platform takes no sign with &H";
  EXPECT_EQ(RaisedNumber([] { ToInteger(Variant::Str(u"&HFFFFFFFF")); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToLong(Variant::Str(u"&H100000000")); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToDouble(Variant::Str(u"&H10000000000000000")); }), rt::kOverflow);
}

TEST(ToBoolTest, AcceptsNumbersAndBooleanTexts) {
  EXPECT_TRUE(ToBool(Variant::Long(2)));
  EXPECT_FALSE(ToBool(Variant()));
  EXPECT_TRUE(ToBool(Variant::Str(u"true")));
  EXPECT_FALSE(ToBool(Variant::Str(u"0")));
  EXPECT_EQ(RaisedNumber([] { ToBool(Variant::Str(u"maybe")); }), rt::kTypeMismatch);
  EXPECT_TRUE(ToBool(Variant::Str(u" TRUE "))) << "blanks around the word, as the runtime reads it";
  EXPECT_TRUE(ToBool(Variant::Str(u"#TRUE#")));
  EXPECT_FALSE(ToBool(Variant::Str(u"#FALSE#")));
  EXPECT_EQ(RaisedNumber([] { ToBool(Variant::Str(u"#true#")); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToBool(Variant::Null()); }), rt::kInvalidUseOfNull);
}

TEST(DiffersFromTextTest, ComparesAsTheRuntimeDoes) {
  EXPECT_FALSE(DiffersFromText(Variant::Str(u"Q5COM"), u"Q5COM"));
  EXPECT_TRUE(DiffersFromText(Variant::Str(u"q5com"), u"Q5COM")) << "case-sensitive";
  EXPECT_FALSE(DiffersFromText(Variant(), u"")) << "Empty is the empty text";
  EXPECT_TRUE(DiffersFromText(Variant(), u"Q5COM"));
  EXPECT_FALSE(DiffersFromText(Variant::Null(), u"")) << "a Null comparison is not true";
  EXPECT_FALSE(DiffersFromText(Variant::Null(), u"x"));
  EXPECT_TRUE(DiffersFromText(Variant::Long(0), u""));
}

TEST(DateToTextTest, GivesDateBlankTime) {
  // 2026-12-08 17:05:09
  const double date = 46364 + (17 * 3600 + 5 * 60 + 9) / 86400.0;
  EXPECT_EQ(platform::DateToText(date), u"2026/12/8 17:05:09");
  EXPECT_EQ(RaisedNumber([] { platform::DateToText(-5.39199e+67); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Date(std::nan(""))); }), rt::kOverflow);
}

}  // namespace
}  // namespace wb
