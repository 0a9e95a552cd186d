// The four direct launchers.
#include <gtest/gtest.h>

#include "core/err.h"
#include "core/runtime_errors.h"
#include "launchers/modpublic.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::modpublic {
namespace {

class DirectLauncherTest : public ::wb::testing::SuiteTest {};

struct Row {
  bool (*launcher)();
  const char* prog_id;
  const char* method;
};

const Row kRows[] = {
    {ShowKeyMap, "TillGuide.CKeyMap", "ShowHELP"},
    {ShowReceiptRoll, "ReceiptRoll.CReceiptRoll", "Showform"},
    {ShowLoyaltyPlan, "Loyalty.CPlan", "Show"},
};

TEST_F(DirectLauncherTest, EachCreatesCallsAndReleasesItsComponent) {
  for (const Row& row : kRows) {
    ForgetCalls();
    EXPECT_TRUE(row.launcher());
    const std::string p = row.prog_id;
    EXPECT_EQ(Calls(), (std::vector<std::string>{
                           "create " + p, "call " + p + "." + row.method + "()", "release " + p}));
  }
  EXPECT_TRUE(notices.empty());
}

TEST_F(DirectLauncherTest, MemberLookupGetsItsThreeSettingsInOrderWithTheirKinds) {
  EXPECT_TRUE(ShowMemberLookup());
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{
                "create Finder.OneRecordPick",
                "let Finder.OneRecordPick.ClassTypeID = Long 1005001",
                "let Finder.OneRecordPick.classTypeFilter = String \" FBillTypeID=1 AND FID>0 \"",
                "let Finder.OneRecordPick.ShowType = Integer 0",
                "call Finder.OneRecordPick.Show()",
                "release Finder.OneRecordPick",
            }));
}

TEST_F(DirectLauncherTest, TwoCallsMakeTwoInstances) {
  ShowLoyaltyPlan();
  ShowLoyaltyPlan();
  const auto creates = JournalEntries();
  std::vector<int> instances;
  for (const auto& e : creates) {
    if (e["event"] == "create")
      instances.push_back(e["instance"]);
  }
  ASSERT_EQ(instances.size(), 2u);
  EXPECT_NE(instances[0], instances[1]);
}

TEST_F(DirectLauncherTest, AReturnedValueIsIgnored) {
  UseScenario(R"({"components": {"ReceiptRoll.CReceiptRoll": {"Showform": {"value": false}}}})");
  EXPECT_TRUE(ShowReceiptRoll());
}

TEST_F(DirectLauncherTest, AComponentErrorPassesThroughWithAllFiveFieldsAfterTheRelease) {
  UseScenario(R"({"components": {"TillGuide.CKeyMap": {"ShowHELP": {"raise":
      {"number": 4711, "source": "KeyMap", "description": "no keys", "helpfile": "", "helpcontext": 0}}}}})");
  int live_in_handler = -1;
  const ErrRecord error = CaptureError([&] {
    try {
      ShowKeyMap();
    } catch (const RaisedError&) {
      live_in_handler = refsuite::LiveCount("TillGuide.CKeyMap");
      throw;
    }
  });
  EXPECT_EQ(error, (ErrRecord{4711, u"KeyMap", u"no keys", u"", 0}));
  EXPECT_EQ(live_in_handler, 0) << "released before the caller's handler runs";
}

TEST_F(DirectLauncherTest, AFailedSettingStopsTheLookup) {
  UseScenario(
      R"({"components": {"Finder.OneRecordPick": {"classTypeFilter": {"missing": true}}}})");
  EXPECT_EQ(CaptureError([] { ShowMemberLookup(); }).number, rt::kNoSuchMember);
  EXPECT_EQ(CallsStartingWith("let").size(), 2u);
  EXPECT_TRUE(CallsStartingWith("let Finder.OneRecordPick.ShowType").empty()) << "not assigned";
  EXPECT_TRUE(CallsStartingWith("call").empty()) << "Show is not called";
}

TEST_F(DirectLauncherTest, AnUncreatableComponentTouchesNoMember) {
  UseScenario(R"({"uncreatable": ["Loyalty.CPlan"]})");
  const ErrRecord error = CaptureError([] { ShowLoyaltyPlan(); });
  EXPECT_EQ(error.number, rt::kCannotCreateObject);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"create-failed Loyalty.CPlan"}));
}

}  // namespace
}  // namespace wb::modpublic
