// The launchers behind a function right.
#include <gtest/gtest.h>

#include "core/err.h"
#include "core/runtime_errors.h"
#include "launchers/modpublic.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::modpublic {
namespace {

class RightCheckedTest : public ::wb::testing::SuiteTest {
 protected:
  // The calls on one component, in order.
  std::vector<std::string> On(const std::string& prog_id) const {
    std::vector<std::string> out;
    for (const auto& line : Calls()) {
      if (line.find(" " + prog_id) != std::string::npos)
        out.push_back(line);
    }
    return out;
  }
};

TEST_F(RightCheckedTest, BranchSetupGranted) {
  EXPECT_TRUE(ShowBranchSetup());
  EXPECT_EQ(On("BranchLink.ClsLink"), (std::vector<std::string>{
                                          "create BranchLink.ClsLink",
                                          "let BranchLink.ClsLink.DataBaseType = Integer 0",
                                          "call BranchLink.ClsLink.InitSetting()",
                                          "release BranchLink.ClsLink",
                                      }));
  const auto calls = Calls();
  ASSERT_GT(calls.size(), 2u);
  EXPECT_EQ(calls[2], "create Gatekeeper.RightsDesk") << "the right is asked after the setting";
  EXPECT_TRUE(notices.empty());
}

TEST_F(RightCheckedTest, BranchSetupSendsTheThreadsDatabaseType) {
  gDataBaseType() = 1;
  ShowBranchSetup();
  EXPECT_EQ(On("BranchLink.ClsLink")[1], "let BranchLink.ClsLink.DataBaseType = Integer 1");
}

TEST_F(RightCheckedTest, BranchSetupRefusedShowsTheNoticeWhileHoldingTheComponent) {
  UseScenario(R"({"rights": {"2812": false}})");
  int live_during_notice = -1;
  on_notice = [&](const Notice&) {
    live_during_notice = refsuite::LiveCount("BranchLink.ClsLink");
  };
  EXPECT_FALSE(ShowBranchSetup());
  EXPECT_EQ(Err::Number(), 0);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"您没有设置机构的权限!");
  EXPECT_EQ(notices[0].title, u"青禾提示");
  EXPECT_EQ(notices[0].style, kStyleExclamation);
  EXPECT_EQ(live_during_notice, 1);
  EXPECT_EQ(On("BranchLink.ClsLink"), (std::vector<std::string>{
                                          "create BranchLink.ClsLink",
                                          "let BranchLink.ClsLink.DataBaseType = Integer 0",
                                          "release BranchLink.ClsLink",
                                      }));
}

TEST_F(RightCheckedTest, MemberPointsGranted) {
  UseScenario(R"({"session": {"PropsString": "P"}})");
  EXPECT_TRUE(ShowMemberPoints(u"ZS00001"));
  EXPECT_EQ(
      CallsStartingWith("get Gatekeeper"),
      (std::vector<std::string>{"get Gatekeeper.RightsDesk.AccessCheck(String \"P\", ByRef Long "
                                "2811, ByRef Long 3, ByRef Long 2097152) -> Boolean true"}));
  EXPECT_EQ(On("Loyalty.CPoints"), (std::vector<std::string>{
                                       "create Loyalty.CPoints",
                                       "let Loyalty.CPoints.VIPNumber = String \"ZS00001\"",
                                       "call Loyalty.CPoints.ViewVIPScore()",
                                       "release Loyalty.CPoints",
                                   }));
}

TEST_F(RightCheckedTest, MemberPointsRefusedCreatesNothing) {
  UseScenario(R"({"rights": {"2811": false}})");
  EXPECT_FALSE(ShowMemberPoints(u"ZS00001"));
  EXPECT_TRUE(On("Loyalty.CPoints").empty());
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"您没有查询积分的权限");
  EXPECT_EQ(notices[0].style, kStyleExclamation);
}

TEST_F(RightCheckedTest, AnEmptyMemberNumberIsSentAsIs) {
  ShowMemberPoints(u"");
  EXPECT_EQ(On("Loyalty.CPoints")[1], "let Loyalty.CPoints.VIPNumber = String \"\"");
}

TEST_F(RightCheckedTest, RefusalNoticesAreTranslated) {
  UseScenario(R"({"language": "ENG", "rights": {"*": false}})");
  ShowBranchSetup();
  ShowMemberPoints(u"ZS00001");
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].prompt, u"You have no right to set up branch offices!");
  EXPECT_EQ(notices[0].title, u"Qinghe Notice");
  EXPECT_EQ(notices[1].prompt, u"You have no right to query member points");
}

TEST_F(RightCheckedTest, ComponentErrorsPassThroughWithoutANotice) {
  UseScenario(R"({"components": {"BranchLink.ClsLink": {"InitSetting": {"raise":
      {"number": 600, "source": "Link", "description": "offline", "helpfile": "l.chm", "helpcontext": 4}}},
      "Loyalty.CPoints": {"ViewVIPScore": {"raise": {"number": 601, "source": "Pts", "description": "x"}}}}})");
  EXPECT_EQ(CaptureError([] { ShowBranchSetup(); }),
            (ErrRecord{600, u"Link", u"offline", u"l.chm", 4}));
  EXPECT_EQ(CaptureError([] { ShowMemberPoints(u"ZS00001"); }).source, u"Pts");
  EXPECT_TRUE(notices.empty());
}

TEST_F(RightCheckedTest, ARaisingRightCheckReleasesTheBranchComponent) {
  UseScenario(R"({"uncreatable": ["Gatekeeper.RightsDesk"]})");
  const ErrRecord error = CaptureError([] { ShowBranchSetup(); });
  EXPECT_EQ(error.number, rt::kCannotCreateObject);
  EXPECT_EQ(error.source, u"Err_CheckAccessRight");
  EXPECT_TRUE(notices.empty());
  const auto branch = On("BranchLink.ClsLink");
  ASSERT_FALSE(branch.empty());
  EXPECT_EQ(branch.back(), "release BranchLink.ClsLink");
}

}  // namespace
}  // namespace wb::modpublic
