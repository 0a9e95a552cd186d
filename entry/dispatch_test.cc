// The function-id dispatch and the error its host sees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::entry {
namespace {

class DispatchTest : public ::wb::testing::SuiteTest {
 protected:
  std::vector<std::string> Created() const { return CallsStartingWith("create "); }
};

// The ids the store's hosts pass; every test and tool takes them from the table.
TEST(FunctionIds, AreTheStoresOwn) {
  std::string table;
  for (const FunctionId& function : kFunctionIds)
    table += std::string(function.name) + " " + std::to_string(function.id) + "\n";
  EXPECT_EQ(table,
            "BranchSetup 1800101\n"
            "MemberLookup 1800201\n"
            "LoyaltyPlan 1800301\n"
            "ReceiptRoll 1800401\n"
            "Report 1800601\n");
}

TEST_F(DispatchTest, EachIdRunsItsStoreFunction) {
  const std::pair<int32_t, std::vector<std::string>> rows[] = {
      {kMemberLookup, {"create Finder.OneRecordPick"}},
      {kLoyaltyPlan, {"create Loyalty.CPlan"}},
      {kReceiptRoll, {"create ReceiptRoll.CReceiptRoll"}},
      {kBranchSetup,
       {"create BranchLink.ClsLink", "create Gatekeeper.RightsDesk", "create CtxStore.SessionBag"}},
      {kReport, {"create Tabulate.ClsTable", "create SheetShow.CPresenter"}},
  };
  for (const auto& [id, created] : rows) {
    ForgetCalls();
    DEVOVIZoruze(id);
    EXPECT_EQ(Err::Number(), 0) << id;
    EXPECT_EQ(Created(), created) << id;
  }
  EXPECT_EQ(CallsStartingWith("let Tabulate.ClsTable.R").size(), 3u);
}

TEST_F(DispatchTest, TheReportGetsItsFixedIdAndName) {
  DEVOVIZoruze(kReport);
  EXPECT_EQ(CallsStartingWith("let Tabulate.ClsTable.RptID"),
            (std::vector<std::string>{"let Tabulate.ClsTable.RptID = String \"2222\""}));
  EXPECT_EQ(CallsStartingWith("let Tabulate.ClsTable.ReportName"),
            (std::vector<std::string>{"let Tabulate.ClsTable.ReportName = String \"sssww\""}));
}

TEST_F(DispatchTest, IdsOutsideTheTableDoNothing) {
  for (int32_t id : {1800501, 0, -1, 1800100, 1800701, 2147483647}) {
    DEVOVIZoruze(id);
    EXPECT_EQ(Err::Number(), 0);
  }
  EXPECT_TRUE(Calls().empty());
}

TEST_F(DispatchTest, ARefusedRightIsNoError) {
  UseScenario(R"({"rights": {"2812": false}})");
  DEVOVIZoruze(kBranchSetup);
  EXPECT_EQ(Err::Number(), 0);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"您没有设置机构的权限!");
}

TEST_F(DispatchTest, ALauncherErrorGetsThePrefixAndKeepsEverythingElse) {
  UseScenario(R"({"components": {"Finder.OneRecordPick": {"Show": {"raise":
      {"number": 1234, "source": "Finder", "description": "no members", "helpfile": "f.chm",
       "helpcontext": 88}}}}})");
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kMemberLookup); }),
            (ErrRecord{1234, u"Finder", u"调用门店函数出错。原因：no members", u"f.chm", 88}));
}

TEST_F(DispatchTest, AnEmptyDescriptionLeavesThePrefixAlone) {
  UseScenario(
      R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {"number": 7001, "source": "Plan", "description": ""}}}}})");
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kLoyaltyPlan); }),
            (ErrRecord{7001, u"Plan", u"调用门店函数出错。原因：", u"", 0}));
}

TEST_F(DispatchTest, InAnotherLanguageBothPartsAreTranslated) {
  UseScenario(R"({"language": "ENG", "phrases": {"ENG": {"no members": "No members."}},
      "components": {"Finder.OneRecordPick": {"Show": {"raise": {"number": 1234, "source": "Finder", "description": "no members"}}}}})");
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kMemberLookup); }).description,
            u"Error calling the store function. Reason: No members.");

  TeardownThreadState();
  UseScenario(R"({"language": "ENG",
      "components": {"Finder.OneRecordPick": {"Show": {"raise": {"number": 1234, "description": "unknown"}}}}})");
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kMemberLookup); }).description,
            u"Error calling the store function. Reason: **WaitToBeTranslated**");
}

TEST_F(DispatchTest, TheReportsOwnFailureReachesTheHostWithThePrefix) {
  UseScenario(R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [
      {"args": ["OK"], "value": false}, {"args": ["Error"], "value": "无数据"}]}}}})");
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kReport); }),
            (ErrRecord{5, u"GetRptByID", u"调用门店函数出错。原因：无数据", u"", 0}));
}

TEST_F(DispatchTest, AnUncreatableComponentReportsTheRuntimeError) {
  UseScenario(R"({"uncreatable": ["ReceiptRoll.CReceiptRoll"]})");
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kReceiptRoll); }),
            (ErrRecord{rt::kCannotCreateObject, u"Workbench",
                       u"调用门店函数出错。原因：ActiveX component can't create object", u"", 0}));
}

TEST_F(DispatchTest, ARightCheckFailureArrivesUnderItsSource) {
  UseScenario(R"({"uncreatable": ["Gatekeeper.RightsDesk"]})");
  const ErrRecord error = CaptureError([] { DEVOVIZoruze(kBranchSetup); });
  EXPECT_EQ(error.number, rt::kCannotCreateObject);
  EXPECT_EQ(error.source, u"Err_CheckAccessRight");
}

}  // namespace
}  // namespace wb::entry
