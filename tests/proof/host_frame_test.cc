// The host lets go of its last object from inside a component's call, and a
// host lets go of an object on another thread than its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "bridge/host_scope.h"
#include "bridge/thread_state.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"
#include "tests/support/configure_trace.h"
#include "tests/support/suite_fixture.h"
#include "trace/trace.h"

namespace wb::proof {
namespace {

class HostFrameTest : public testing::SuiteTest {
 protected:
  void TearDown() override {
    refsuite::SetHostHook(nullptr);
    trace::ConfigureForTesting("");
    SuiteTest::TearDown();
  }
  static ErrRecord Call() {
    return CaptureHostCall([] { entry::DEVOVIZoruze(entry::kMemberLookup); });
  }
};

// The member lookup fails, and its text is translated: the components of the
// translation cache are in the middle of their calls when the hook runs.
std::string Scenario(const char* language, const char* hooked) {
  return std::string(R"({"language": ")") + language + R"(", "components": {)" + hooked +
         R"("Finder.OneRecordPick": {"Show": {"raise": {"number": 1001, "source": "Finder",
             "description": "no member"}}}}})";
}

TEST_F(HostFrameTest, TheHostLettingGoOfItsLastObjectInsideACallFreesNothingInUse) {
  const struct {
    const char* language;
    const char* hooked;
    bool traced;
  } rows[] = {
      {"CHS", R"("Polyglot.LocaleState": {"CurrentLanguage": {"callHost": true}}, )", false},
      {"ENG", R"("Phrasebook.Catalog": {"LoadString": {"callHost": true}}, )", false},
      {"ENG", R"("Phrasebook.Catalog": {"LoadString": {"callHost": true}}, )", true},
  };
  const std::string trace_path = ::testing::TempDir() + "workbench-host-frame.jsonl";
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.hooked) + (row.traced ? " traced" : ""));
    UseScenario(Scenario(row.language, row.hooked));
    trace::ConfigureForTesting(row.traced ? trace_path : "");
    std::optional<ThreadStateUser> host(std::in_place);
    refsuite::SetHostHook([&] { host.reset(); });
    const ErrRecord error = Call();
    EXPECT_FALSE(host.has_value());
    EXPECT_EQ(error.number, 1001);
    EXPECT_EQ(error.source, u"Finder");
    // What the call held went when it returned.
    EXPECT_EQ(refsuite::TotalLive(), 0);
  }
  std::remove(trace_path.c_str());
}

TEST_F(HostFrameTest, ALastReleaseOnAnotherThreadTouchesOnlyWhatThatThreadOwns) {
  UseScenario(Scenario("ENG", ""));
  auto* object = new ThreadStateUser;  // the host's, this thread's cache filled
  Call();
  const int cached = refsuite::TotalLive();
  ASSERT_GT(cached, 0);
  int other_live = -1, other_cached = -1;
  std::thread other([&] {
    ThreadStateUser own;
    Call();
    delete object;  // the host broke the apartment rule
    other_live = ThreadStateUser::LiveOnThisThread();
    other_cached = refsuite::TotalLive();
  });
  other.join();
  // The other thread kept its own object and cache, and left this thread's.
  EXPECT_EQ(other_live, 1);
  EXPECT_EQ(other_cached, 2 * cached);
  EXPECT_EQ(ThreadStateUser::LiveOnThisThread(), 0);
  // The next object here starts afresh: the cache left behind goes on its
  // own thread.
  ThreadStateUser next;
  EXPECT_EQ(refsuite::TotalLive(), 0);
}

}  // namespace
}  // namespace wb::proof
