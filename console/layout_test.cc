#include "console/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "console/twips.h"
#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb::console {
namespace {

LogBoxRect Lay(float w, float h) {
  LogBoxRect box{-1, -1, -1, -1};
  LayOutLogBox(w, h, box);
  return box;
}

TEST(LayOutLogBox, DesignSizeLeavesAMarginOnEverySide) {
  EXPECT_EQ(Lay(8160, 5130), (LogBoxRect{50, 50, 8060, 5030}));
}

TEST(LayOutLogBox, WidthRuleIsStrictAndFallsBackToTheFullWidth) {
  EXPECT_EQ(Lay(101, 5000).width, 1);
  EXPECT_EQ(Lay(100, 5000).width, 100);
  EXPECT_EQ(Lay(40.5f, 5000).width, 40.5f);
  EXPECT_EQ(Lay(0, 5000).width, 0);
}

TEST(LayOutLogBox, HeightRuleIsStrictAndFallsBackToZero) {
  EXPECT_EQ(Lay(5000, 101).height, 1);
  EXPECT_EQ(Lay(5000, 100).height, 0);
  EXPECT_EQ(Lay(5000, 99.5f).height, 0);
  // The width follows its own rule while the box has no height.
  EXPECT_EQ(Lay(5000, 100), (LogBoxRect{50, 50, 4900, 0}));
}

TEST(LayOutLogBox, ZeroByZeroIsNoError) {
  Err::Clear();
  EXPECT_EQ(Lay(0, 0), (LogBoxRect{50, 50, 0, 0}));
  EXPECT_EQ(Err::Number(), 0);
}

TEST(LayOutLogBox, KeepsSinglePrecision) {
  // 16777217 is not a float: the operand rounds to 16777216 before the subtraction.
  EXPECT_EQ(Lay(16777217.0f, 200).width, 16777116.0f);
}

// A fault raises Overflow after the assignments already made.
TEST(LayOutLogBox, FaultInWidthStopsAfterLeft) {
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity()};
  for (float w : bad) {
    LogBoxRect box{-1, -1, -1, -1};
    EXPECT_THROW(LayOutLogBox(w, 500, box), RaisedError) << w;
    EXPECT_EQ(Err::Number(), rt::kOverflow);
    EXPECT_EQ(Err::Source(), u"Workbench");
    EXPECT_EQ(box, (LogBoxRect{50, -1, -1, -1})) << w;
  }
}

TEST(LayOutLogBox, FaultInHeightStopsAfterTop) {
  LogBoxRect box{-1, -1, -1, -1};
  EXPECT_THROW(LayOutLogBox(500, std::numeric_limits<float>::quiet_NaN(), box), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kOverflow);
  EXPECT_EQ(box, (LogBoxRect{50, 50, 400, -1}));

  box = {-1, -1, -1, -1};
  EXPECT_THROW(LayOutLogBox(20, std::numeric_limits<float>::infinity(), box), RaisedError);
  EXPECT_EQ(box, (LogBoxRect{50, 50, 20, -1}));
}

TEST(Twips, ConvertWithTheScreensPixelsPerInch) {
  EXPECT_EQ(PixelsToTwips(544, 96), 8160.0f);
  EXPECT_EQ(PixelsToTwips(342, 96), 5130.0f);
  EXPECT_EQ(PixelsToTwips(100, 120), 1200.0f);
  EXPECT_EQ(TwipsToPixels(8160, 96), 544);
  EXPECT_EQ(TwipsToPixels(8160, 144), 816);
  // 50 twips is 3.33 pixels at 96 dpi, 4.17 at 120: rounded to nearest.
  EXPECT_EQ(TwipsToPixels(50, 96), 3);
  EXPECT_EQ(TwipsToPixels(50, 120), 4);
  EXPECT_EQ(TwipsToPixels(7.5f, 96), 1);  // half a pixel rounds up
  EXPECT_EQ(TwipsToPixels(0, 96), 0);
}

}  // namespace
}  // namespace wb::console
