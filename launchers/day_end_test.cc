// Day-end and reverse day-end.
#include <gtest/gtest.h>

#include "core/err.h"
#include "launchers/modpublic.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::modpublic {
namespace {

class DayEndTest : public ::wb::testing::SuiteTest {
 protected:
  void ReckoningAnswers(const std::string& answer_json) {
    UseScenario(R"({"components": {"DayClose.CDayCloseRun": {"ShowReckoning": )" + answer_json +
                "}}}");
  }
};

TEST_F(DayEndTest, ASuccessfulDayEndReportsCompletion) {
  UseScenario(R"({"session": {"UserName": "店长01"}})");
  EXPECT_TRUE(RunDayEnd(false, u"ignored", u"RUBO"));
  const auto calls = CallsStartingWith("let DayClose");
  EXPECT_EQ(calls, (std::vector<std::string>{"let DayClose.CDayCloseRun.checktype = Integer 1",
                                             "let DayClose.CDayCloseRun.User = String \"店长01\""}))
      << "the user comes from the session, not the argument";
  EXPECT_EQ(CallsStartingWith("get DayClose"),
            (std::vector<std::string>{"get DayClose.CDayCloseRun.ShowReckoning(ByRef String "
                                      "\"RUBO\", ByRef Boolean false) -> Boolean true"}));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"日结完成");
  EXPECT_EQ(notices[0].style, kStyleInformation);
  EXPECT_EQ(CallsStartingWith("release DayClose").size(), 1u);
}

TEST_F(DayEndTest, AReverseDayEndReportsItsOwnCompletion) {
  EXPECT_TRUE(RunDayEnd(true, u"", u"RUBO"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"反日结完成");
}

TEST_F(DayEndTest, AFalseAnswerShowsNothing) {
  ReckoningAnswers(R"({"value": false})");
  EXPECT_FALSE(RunDayEnd(false, u"", u"RUBO"));
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(CallsStartingWith("let").size(), 2u);
  EXPECT_EQ(CallsStartingWith("release DayClose").size(), 1u);
}

TEST_F(DayEndTest, NullPassesTheAnswerTestAndOtherNumbersFail) {
  ReckoningAnswers(R"({"value": null})");
  EXPECT_TRUE(RunDayEnd(false, u"", u"RUBO"));
  ReckoningAnswers(R"({"value": 1})");
  EXPECT_FALSE(RunDayEnd(false, u"", u"RUBO"));
  ReckoningAnswers(R"({"value": {"type": "Empty"}})");
  EXPECT_FALSE(RunDayEnd(false, u"", u"RUBO"));
  ReckoningAnswers(R"({"value": -1})");
  EXPECT_TRUE(RunDayEnd(false, u"", u"RUBO"));
}

TEST_F(DayEndTest, ARaisedErrorBecomesACriticalNoticeWithItsDescription) {
  ReckoningAnswers(
      R"({"raise": {"number": 77, "source": "DayClose", "description": "till open"}})");
  int live_during_notice = -1;
  on_notice = [&](const Notice&) {
    live_during_notice = refsuite::LiveCount("DayClose.CDayCloseRun");
  };
  EXPECT_FALSE(RunDayEnd(false, u"", u"RUBO"));
  EXPECT_EQ(Err::Number(), 0) << "handled here: the caller sees no error";
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"日结失败\r\ntill open");
  EXPECT_EQ(notices[0].style, kStyleCritical);
  EXPECT_EQ(live_during_notice, 1) << "the component is released after the notice";
}

TEST_F(DayEndTest, AnUncreatableComponentShowsTheCreationError) {
  UseScenario(R"({"uncreatable": ["DayClose.CDayCloseRun"]})");
  EXPECT_FALSE(RunDayEnd(true, u"", u"RUBO"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"反日结失败\r\nActiveX component can't create object");
}

TEST_F(DayEndTest, TheTextFollowsWhatTheComponentWroteIntoReverse) {
  ReckoningAnswers(R"({"value": true, "writeback": {"2": false}})");
  EXPECT_TRUE(RunDayEnd(true, u"", u"RUBO"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"日结完成");

  ReckoningAnswers(R"({"raise": {"number": 9, "description": "d"}, "writeback": {"2": false}})");
  notices.clear();
  RunDayEnd(true, u"", u"RUBO");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"日结失败\r\nd");
}

TEST_F(DayEndTest, AFailingCompletionNoticeIsFollowedByTheFailureNotice) {
  on_notice = [&](const Notice& n) {
    if (n.style == kStyleInformation)
      Err::Raise(1234, String(u"Box"), String(u"no desktop"));
  };
  EXPECT_TRUE(RunDayEnd(false, u"", u"RUBO")) << "the result was already set";
  ASSERT_EQ(notices.size(), 1u) << "the failing notice is not recorded";
  EXPECT_EQ(notices[0].prompt, u"日结失败\r\nno desktop");
}

TEST_F(DayEndTest, ASessionFailureIsShownToo) {
  UseScenario(R"({"uncreatable": ["CtxStore.SessionBag"]})");
  EXPECT_FALSE(RunDayEnd(false, u"", u"RUBO"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].style, kStyleCritical);
  EXPECT_TRUE(CallsStartingWith("get DayClose").empty());
}

TEST_F(DayEndTest, NoticesAreTranslated) {
  UseScenario(R"({"language": "ENG", "phrases": {"ENG": {"till open": "The till is open"}},
      "components": {"DayClose.CDayCloseRun": {"ShowReckoning": {"raise": {"number": 77, "description": "till open"}}}}})");
  RunDayEnd(false, u"", u"RUBO");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"Day-end failed\r\nThe till is open");
  EXPECT_EQ(notices[0].title, u"Qinghe Notice");
}

}  // namespace
}  // namespace wb::modpublic
