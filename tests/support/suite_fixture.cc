#include "tests/support/suite_fixture.h"

#include "bridge/thread_state.h"
#include "core/text.h"
#include "refsuite/native.h"
#include "tests/support/journal_line.h"

namespace wb::testing {

std::string U8(const String& text) {
  return ToUtf8(text);
}

void SuiteTest::SetUp() {
  refsuite::InstallNative();
  refsuite::ResetScenario();
  refsuite::ClearJournal();
  TeardownThreadState();
  Err::Clear();
  modpublic::SetNoticeSink([this](const modpublic::Notice& notice) {
    if (on_notice)
      on_notice(notice);
    notices.push_back(notice);
  });
}

void SuiteTest::TearDown() {
  modpublic::SetNoticeSink(nullptr);
  TeardownThreadState();
  EXPECT_EQ(refsuite::TotalLive(), 0) << "a component instance was not released";
  refsuite::ResetScenario();
}

void SuiteTest::UseScenario(const std::string& json) {
  refsuite::LoadScenarioText(json);
}

std::vector<nlohmann::json> SuiteTest::JournalEntries() const {
  return refsuite::Journal();
}

std::vector<std::string> SuiteTest::Calls() const {
  std::vector<std::string> lines;
  for (const auto& entry : refsuite::Journal())
    lines.push_back(JournalLine(entry));
  return lines;
}

std::vector<std::string> SuiteTest::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (auto& line : Calls()) {
    if (line.rfind(prefix, 0) == 0)
      lines.push_back(line);
  }
  return lines;
}

void SuiteTest::ForgetCalls() {
  refsuite::ClearJournal();
}

}  // namespace wb::testing

namespace wb {
void PrintTo(const ErrRecord& error, std::ostream* out) {
  *out << "{" << error.number << ", \"" << ToUtf8(error.source) << "\", \""
       << ToUtf8(error.description) << "\", \"" << ToUtf8(error.help_file) << "\", "
       << error.help_context << "}";
}
}  // namespace wb
