// The report run.
#include <gtest/gtest.h>

#include "core/err.h"
#include "core/platform.h"
#include "core/runtime_errors.h"
#include "launchers/modpublic.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::modpublic {
namespace {

class ReportTest : public ::wb::testing::SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    // The pointer reset is placed in the call sequence by its journal index.
    platform::SetMousePointer(11);
    platform::SetMousePointerObserver([this](int16_t p) {
      pointer_at.push_back({p, JournalEntries().size()});
    });
  }
  void TearDown() override {
    platform::SetMousePointerObserver(nullptr);
    SuiteTest::TearDown();
  }
  void ResultAnswers(const std::string& when_json) {
    UseScenario(R"({"components": {"Tabulate.ClsTable": {"Result": {"when": )" + when_json +
                "}}}}");
  }
  std::vector<std::string> ResultCalls() const {
    return CallsStartingWith("get Tabulate.ClsTable.Result");
  }
  std::vector<std::pair<int16_t, size_t>> pointer_at;
};

TEST_F(ReportTest, AReadyReportIsShownInTheViewer) {
  EXPECT_TRUE(RunReport(u"2222", u"sssww"));
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "create Tabulate.ClsTable",
                         "let Tabulate.ClsTable.RptID = String \"2222\"",
                         "let Tabulate.ClsTable.ReportName = String \"sssww\"",
                         "let Tabulate.ClsTable.RptProperty = Integer 4",
                         "call Tabulate.ClsTable.ShowFilter()",
                         "call Tabulate.ClsTable.GetReportdata()",
                         "get Tabulate.ClsTable.Result(String \"OK\") -> Boolean true",
                         "create SheetShow.CPresenter",
                         "call SheetShow.CPresenter.ReportShow(ByRef Object Tabulate.ClsTable)",
                         "release SheetShow.CPresenter",
                         "release Tabulate.ClsTable",
                     }));
  ASSERT_EQ(pointer_at.size(), 1u);
  EXPECT_EQ(pointer_at[0], (std::pair<int16_t, size_t>{0, 6})) << "reset after GetReportdata";
  EXPECT_TRUE(notices.empty());
}

TEST_F(ReportTest, NoResultAndNoErrorTextEndsQuietly) {
  ResultAnswers(R"([{"args": ["OK"], "value": false}, {"args": ["Error"], "value": ""}])");
  EXPECT_FALSE(RunReport(u"2222", u"sssww"));
  EXPECT_EQ(Err::Number(), 0);
  EXPECT_EQ(ResultCalls().size(), 2u);
  EXPECT_TRUE(CallsStartingWith("create SheetShow").empty());
  EXPECT_EQ(pointer_at.size(), 1u) << "the pointer is reset whatever the answer";
}

TEST_F(ReportTest, NullAndEmptyErrorTextsCountAsNoText) {
  ResultAnswers(R"([{"args": ["OK"], "value": 0}, {"args": ["Error"], "value": null}])");
  EXPECT_FALSE(RunReport(u"2222", u"sssww"));
  ResultAnswers(
      R"([{"args": ["OK"], "value": {"type": "Empty"}}, {"args": ["Error"], "value": {"type": "Empty"}}])");
  EXPECT_FALSE(RunReport(u"2222", u"sssww"));
}

TEST_F(ReportTest, AnErrorTextIsRaisedAsErrorFiveFromTheThirdAnswer) {
  ResultAnswers(R"([{"args": ["OK"], "value": false},
                    {"args": ["Error"], "nth": 3, "value": "no data for 2222"},
                    {"args": ["Error"], "value": "first answer"}])");
  const ErrRecord error = CaptureError([] { RunReport(u"2222", u"sssww"); });
  EXPECT_EQ(error, (ErrRecord{5, u"GetRptByID", u"no data for 2222", u"", 0}));
  EXPECT_EQ(ResultCalls().size(), 3u);
  EXPECT_EQ(CallsStartingWith("release Tabulate").size(), 1u);
}

TEST_F(ReportTest, AFailureBeforeTheDataSkipsThePointerReset) {
  UseScenario(R"({"components": {"Tabulate.ClsTable": {"GetReportdata": {"raise":
      {"number": 3021, "source": "Tab", "description": "no rows", "helpfile": "t.chm", "helpcontext": 2}}}}})");
  EXPECT_EQ(CaptureError([] { RunReport(u"2222", u"sssww"); }),
            (ErrRecord{3021, u"Tab", u"no rows", u"t.chm", 2}));
  EXPECT_TRUE(pointer_at.empty());
}

TEST_F(ReportTest, AFailingViewerReleasesBothComponents) {
  UseScenario(
      R"({"components": {"SheetShow.CPresenter": {"ReportShow": {"raise": {"number": 8, "description": "v"}}}}})");
  EXPECT_EQ(CaptureError([] { RunReport(u"2222", u"sssww"); }).number, 8);
  EXPECT_EQ(refsuite::TotalLive(), 0);
}

}  // namespace
}  // namespace wb::modpublic
