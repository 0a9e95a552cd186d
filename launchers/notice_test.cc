// The notice box's prompt and title.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/err.h"
#include "launchers/modpublic.h"
#include "tests/support/configure_trace.h"
#include "tests/support/suite_fixture.h"
#include "trace/trace.h"

namespace wb::modpublic {
namespace {

class NoticeTest : public ::wb::testing::SuiteTest {};

TEST_F(NoticeTest, TheDescriptionIsAddedOnlyWhenAsked) {
  const std::string trace = ::testing::TempDir() + "workbench-notice-trace.jsonl";
  std::remove(trace.c_str());
  trace::ConfigureForTesting(trace);
  const ErrRecord pending{9, u"S", u"it broke", u"h", 3};
  Err::Get() = pending;
  ShowNotice(u"日结失败", kStyleCritical, true);
  ShowNotice(u"日结完成", kStyleInformation, false);
  trace::ConfigureForTesting("");
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].prompt, u"日结失败\r\nit broke");
  EXPECT_EQ(notices[0].title, u"青禾提示");
  EXPECT_EQ(notices[0].style, kStyleCritical);
  EXPECT_EQ(notices[1].prompt, u"日结完成");
  EXPECT_EQ(Err::Get(), pending) << "the notice leaves the pending error alone";
  // The field trace has each notice as it is shown.
  std::ifstream file(trace);
  std::vector<nlohmann::json> traced;
  for (std::string line; std::getline(file, line);) {
    if (nlohmann::json entry = nlohmann::json::parse(line); entry["event"] == "notice")
      traced.push_back(entry);
  }
  ASSERT_EQ(traced.size(), 2u);
  EXPECT_EQ(traced[0]["text"], "日结失败\r\nit broke");
  EXPECT_EQ(traced[0]["icon"], "critical");
  std::remove(trace.c_str());
}

TEST_F(NoticeTest, WithoutAPendingErrorTheSecondLineIsEmpty) {
  ShowNotice(u"日结失败", kStyleCritical, true);
  ShowNotice(u"", kStyleInformation, false);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].prompt, u"日结失败\r\n");
  EXPECT_EQ(notices[1].prompt, u"");
}

TEST_F(NoticeTest, TheDescriptionIsTranslatedEvenWhenNotShown) {
  UseScenario(R"({"language": "ENG", "phrases": {"ENG": {"it broke": "It broke"}}})");
  Err::Get() = ErrRecord{9, u"S", u"it broke", u"", 0};
  ShowNotice(u"日结失败", kStyleCritical, false);
  EXPECT_EQ(CallsStartingWith("get Phrasebook.Catalog.LoadString").size(), 3u)
      << "message, description and title";
  ShowNotice(u"日结失败", kStyleCritical, true);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[1].prompt, u"Day-end failed\r\nIt broke");
}

TEST_F(NoticeTest, ASinkErrorReachesTheCaller) {
  on_notice = [](const Notice&) { Err::Raise(1, String(u"Box"), String(u"x")); };
  EXPECT_EQ(CaptureError([] { ShowNotice(u"a", 64, false); }).source, u"Box");
}

}  // namespace
}  // namespace wb::modpublic
