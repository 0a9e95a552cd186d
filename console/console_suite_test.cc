// The console's click dispatch bound to the real launchers, running against
// the reference suite's native binding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/runtime_global.h"
#include "console/launcher_actions.h"
#include "console/menu_model.h"
#include "console/menu_tool_object.h"
#include "console/tool_click.h"
#include "core/err.h"
#include "core/ref_counted.h"
#include "core/variant.h"
#include "tests/support/stack_object.h"
#include "tests/support/suite_fixture.h"

namespace wb::console {
namespace {

using Lines = std::vector<std::string>;

class TextLogBox final : public LogBox {
 public:
  String Text() const override { return text; }
  void Append(StringView line) override { text += line; }
  String text;
};

// The console form as the runtime's Unload sees it.
class FakeForm final : public StackObject<>, public Form {
 public:
  Variant Invoke(StringView, CallKind, Args&) override { Err::RaiseRuntime(438); }
  void Unload() override {
    ++unloads;
    if (fail_unload)
      Err::Raise(1234, u"Form", u"cannot unload");
  }
  int unloads = 0;
  bool fail_unload = false;
};

class ConsoleSuiteTest : public testing::SuiteTest {
 protected:
  void Click(StringView name) { OnToolClick(MakeToolObject(*FindTool(name)), actions); }
  std::string LastLogLine() const {
    const std::string text = ToUtf8(log.text);
    const size_t end = text.rfind("\r\n");
    const size_t start = text.rfind("\r\n", end - 1);
    const std::string line = text.substr(start == std::string::npos ? 0 : start + 2);
    return line.substr(0, line.find('\t'));
  }

  TextLogBox log;
  FakeForm form;
  LauncherActions actions{log, form};
};

TEST_F(ConsoleSuiteTest, DirectToolsRunTheirComponents) {
  Click(u"mnuOther_HotKey");
  EXPECT_EQ(LastLogLine(), "You click: mnuOther_HotKey");
  EXPECT_EQ(Calls(), (Lines{"create TillGuide.CKeyMap", "call TillGuide.CKeyMap.ShowHELP()",
                            "release TillGuide.CKeyMap"}));
  ForgetCalls();
  Click(u"mnuOther_Bill");
  Click(u"mnuVIP_Sheme");
  EXPECT_EQ(CallsStartingWith("call"),
            (Lines{"call ReceiptRoll.CReceiptRoll.Showform()", "call Loyalty.CPlan.Show()"}));
  ForgetCalls();
  Click(u"mnuVIP_ViewAll");
  EXPECT_EQ(CallsStartingWith("call"), (Lines{"call Finder.OneRecordPick.Show()"}));
}

TEST_F(ConsoleSuiteTest, PointsQueryAsksForMemberZS00001) {
  Click(u"mnuVIP_ViewScore");
  EXPECT_EQ(CallsStartingWith("let Loyalty"),
            (Lines{"let Loyalty.CPoints.VIPNumber = String \"ZS00001\""}));
}

TEST_F(ConsoleSuiteTest, RefusedRightShowsItsNoticeAfterTheLogLine) {
  UseScenario(R"({"rights": {"2811": false}})");
  std::string log_at_notice;
  on_notice = [&](const modpublic::Notice&) { log_at_notice = LastLogLine(); };
  Click(u"mnuVIP_ViewScore");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"您没有查询积分的权限");
  EXPECT_EQ(log_at_notice, "You click: mnuVIP_ViewScore");
  EXPECT_TRUE(CallsStartingWith("create Loyalty").empty());
}

TEST_F(ConsoleSuiteTest, DayEndToolsSendTheSessionUserAndRUBO) {
  Click(u"mnuOther_ReckoningDaily");
  Click(u"mnuOther_ReckoningDailyOver");
  const auto runs = CallsStartingWith("get DayClose.CDayCloseRun.ShowReckoning");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_NE(runs[0].find("String \"RUBO\", ByRef Boolean false)"), std::string::npos) << runs[0];
  EXPECT_NE(runs[1].find("String \"RUBO\", ByRef Boolean true)"), std::string::npos) << runs[1];
  // The console reads the user name itself before the launcher reads it again.
  const auto calls = Calls();
  size_t user_reads_before_run = 0;
  for (const std::string& call : calls) {
    if (call.find("create DayClose") == 0)
      break;
    if (call.find("\"UserName\"") != std::string::npos)
      ++user_reads_before_run;
  }
  EXPECT_GE(user_reads_before_run, 1u);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].prompt, u"日结完成");
  EXPECT_EQ(notices[1].prompt, u"反日结完成");
}

TEST_F(ConsoleSuiteTest, LauncherErrorEndsTheClickAfterItsLogLine) {
  UseScenario(R"({"uncreatable": ["Loyalty.CPlan"]})");
  const ErrRecord error = CaptureError([&] { Click(u"mnuVIP_Sheme"); });
  EXPECT_EQ(error.number, 429);
  EXPECT_EQ(LastLogLine(), "You click: mnuVIP_Sheme");
  EXPECT_TRUE(notices.empty());
}

TEST_F(ConsoleSuiteTest, SessionErrorSkipsTheDayEnd) {
  UseScenario(R"({"uncreatable": ["CtxStore.SessionBag"]})");
  const ErrRecord error = CaptureError([&] { Click(u"mnuOther_ReckoningDaily"); });
  EXPECT_EQ(error.number, 429);
  EXPECT_TRUE(CallsStartingWith("create DayClose").empty());
  EXPECT_TRUE(notices.empty());
}

TEST_F(ConsoleSuiteTest, ExitUnloadsTheFormThroughTheRuntime) {
  Click(u"mnuOther_Exit");
  EXPECT_EQ(form.unloads, 1);
  EXPECT_EQ(form.refs(), 0);
  EXPECT_EQ(LastLogLine(), "You click: mnuOther_Exit");
  EXPECT_TRUE(Calls().empty());

  form.fail_unload = true;
  const ErrRecord error = CaptureError([&] { Click(u"mnuOther_Exit"); });
  EXPECT_EQ(error.number, 1234);
  EXPECT_EQ(form.refs(), 0);
}

}  // namespace
}  // namespace wb::console
