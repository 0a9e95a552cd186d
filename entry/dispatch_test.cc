// The function-id dispatch and the error its host sees.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/err.h"
#include "bridge/runtime_errors.h"
#include "bridge/thread_state.h"
#include "bridge/trace.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::entry {
namespace {

class DispatchTest : public ::wb::testing::SuiteTest {
 protected:
  std::vector<std::string> Created() const { return CallsStartingWith("create "); }
};

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

// ---- The field trace ------------------------------------------------------------

class TraceTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    path_ = ::testing::TempDir() + "workbench-trace-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jsonl";
    std::remove(path_.c_str());
  }
  void TearDown() override {
    trace::ConfigureForTesting("");
    std::remove(path_.c_str());
    DispatchTest::TearDown();
  }

  std::vector<nlohmann::json> TraceLines() const {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path_);
    for (std::string line; std::getline(file, line);)
      lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  std::string path_;
};

// What the trace and the suite's journal both record of each interaction.
nlohmann::json Shared(const nlohmann::json& entry) {
  nlohmann::json out;
  for (const char* key : {"event", "progid", "member", "args", "written", "result", "error"}) {
    if (entry.contains(key))
      out[key] = entry[key];
  }
  return out;
}

TEST_F(TraceTest, RecordsEachInteractionAsTheSuiteSawIt) {
  UseScenario(R"({"components": {
      "Finder.OneRecordPick": {"Show": {"raise": {"number": 1001, "source": "Finder.OneRecordPick",
          "description": "会员资料库无法连接", "helpfile": "finder.chm", "helpcontext": 42}}},
      "CtxStore.SessionBag": {"GetProperty": {"writeback": {"2": "changed"}}}},
      "rights": {"2812": false}})");
  trace::ConfigureForTesting(path_);
  const int32_t ids[] = {kMemberLookup, kBranchSetup, kReport};
  for (const int32_t id : ids)
    CaptureError([id] { DEVOVIZoruze(id); });
  trace::ConfigureForTesting("");

  std::vector<nlohmann::json> traced, notice_lines;
  for (const nlohmann::json& line : TraceLines()) {
    EXPECT_TRUE(line.contains("time") && line.contains("thread") && line.contains("pid")) << line;
    (line["event"] == "notice" ? notice_lines : traced).push_back(Shared(line));
  }
  std::vector<nlohmann::json> journal;
  for (const nlohmann::json& entry : JournalEntries()) {
    // An object argument is named by its ProgID; the suite adds its instance.
    nlohmann::json shared = Shared(entry);
    for (auto& arg : shared["args"])
      if (arg["type"] == "Object")
        arg["value"].erase("instance");
    if (shared["args"].is_null())
      shared.erase("args");
    journal.push_back(shared);
  }
  EXPECT_EQ(traced, journal);
  EXPECT_EQ(notice_lines.size(), 1u);
  const auto lines = TraceLines();
  const auto notice = std::find_if(lines.begin(), lines.end(),
                                   [](const auto& l) { return l["event"] == "notice"; });
  ASSERT_NE(notice, lines.end());
  EXPECT_EQ((*notice)["text"], "您没有设置机构的权限!");
  EXPECT_EQ((*notice)["icon"], "exclamation");
}

TEST_F(TraceTest, CutsLongTextsAndKeepsTheirLength) {
  const std::string long_text(300, 'x');
  UseScenario(R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {"number": 9,
      "description": ")" +
              long_text + R"("}}}}})");
  trace::ConfigureForTesting(path_);
  CaptureError([] { DEVOVIZoruze(kLoyaltyPlan); });
  const auto lines = TraceLines();
  const auto show = std::find_if(lines.begin(), lines.end(),
                                 [](const auto& l) { return l.value("member", "") == "Show"; });
  ASSERT_NE(show, lines.end());
  EXPECT_EQ((*show)["error"]["description"], long_text.substr(0, 256));
  EXPECT_EQ((*show)["error"]["description_length"], 300);
}

TEST_F(TraceTest, OffOrUnwritableItChangesNothing) {
  UseScenario(R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {"number": 9,
      "source": "Plan", "description": "d"}}}}})");
  const ErrRecord untraced = CaptureError([] { DEVOVIZoruze(kLoyaltyPlan); });
  for (const std::string& path : {std::string(), ::testing::TempDir() + "no/such/dir/t.jsonl"}) {
    trace::ConfigureForTesting(path);
    EXPECT_FALSE(trace::Enabled()) << path;
    EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kLoyaltyPlan); }), untraced) << path;
  }
  trace::ConfigureForTesting(path_);
  EXPECT_EQ(CaptureError([] { DEVOVIZoruze(kLoyaltyPlan); }), untraced);
  EXPECT_FALSE(TraceLines().empty());
}

}  // namespace
}  // namespace wb::entry
