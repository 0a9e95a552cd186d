// Conversions and tests with the runtime's semantics.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bridge/convert.h"
#include "bridge/err.h"
#include "bridge/runtime_errors.h"

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
  EXPECT_EQ(ToString(Variant::Str(String(u"a\0b", 3))), String(u"a\0b", 3));
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Null()); }), rt::kInvalidUseOfNull);
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Unsupported(0x200C)); }), rt::kTypeMismatch);
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Object(AutomationObject())); }), rt::kObjectNotSet);
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
}

TEST(ToBoolTest, AcceptsNumbersAndBooleanTexts) {
  EXPECT_TRUE(ToBool(Variant::Long(2)));
  EXPECT_FALSE(ToBool(Variant()));
  EXPECT_TRUE(ToBool(Variant::Str(u"true")));
  EXPECT_FALSE(ToBool(Variant::Str(u"0")));
  EXPECT_EQ(RaisedNumber([] { ToBool(Variant::Str(u"maybe")); }), rt::kTypeMismatch);
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
  EXPECT_EQ(DateToText(date), u"2026/12/8 17:05:09");
  EXPECT_EQ(RaisedNumber([] { DateToText(-5.39199e+67); }), rt::kOverflow);
  EXPECT_EQ(RaisedNumber([] { ToString(Variant::Date(std::nan(""))); }), rt::kOverflow);
}

}  // namespace
}  // namespace wb
