// The host lets go of its last object from inside a component's call, and a
// host lets go of an object on another thread than its own.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/host_scope.h"
#include "bridge/thread_state.h"
#include "core/runtime_errors.h"
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

// The translation component pumps messages while it is released: the host
// calls in while the thread's state is torn down, with an object of its own
// that it drops there.
TEST_F(HostFrameTest, TheHostCallingInWhileTheStateIsTornDownGetsItsAnswer) {
  UseScenario(R"({"releaseCallsHost": ["Phrasebook.Catalog"],)" + Scenario("ENG", "").substr(1));
  std::optional<ThreadStateUser> host(std::in_place);
  ASSERT_EQ(Call().number, 1001);
  std::vector<int32_t> inside;
  refsuite::SetHostHook([&] {
    if (inside.empty()) {  // once: its own call's components are released too
      ThreadStateUser object;
      inside.push_back(Call().number);
    }
  });
  host.reset();
  EXPECT_EQ(inside, std::vector<int32_t>{1001});
  EXPECT_EQ(ThreadStateUser::LiveOnThisThread(), 0);
  EXPECT_EQ(refsuite::TotalLive(), 0);
}

// A host thread made with little stack calls in deeper and deeper: a level is
// refused with error 28 while there is still stack to answer it, however few
// levels that leaves, and the thread lives on.
TEST_F(HostFrameTest, AThreadWithLittleStackIsRefusedBeforeItRunsOut) {
  UseScenario(Scenario("ENG", R"("Phrasebook.Catalog": {"LoadString": {"callHost": true}}, )"));
  struct Run {
    std::vector<int32_t> nested;  // innermost first
    int32_t outer = 0;
  } run;
  const auto body = [](void* context) -> void* {
    auto& r = *static_cast<Run*>(context);
    ThreadStateUser host;
    refsuite::SetHostHook([&] {
      // Each level looks up two phrases: once refused, the host stops.
      if (r.nested.empty() || r.nested.front() != rt::kOutOfStackSpace)
        r.nested.push_back(Call().number);
    });
    r.outer = Call().number;
    refsuite::SetHostHook(nullptr);
    return nullptr;
  };
  // Room for the margin and a few levels, far from enough for all of them.
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kHostCallStackMargin + 96 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, +body, &run), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  ASSERT_FALSE(run.nested.empty());
  std::printf("levels entered with %zu KB: %zu\n", (kHostCallStackMargin >> 10) + 96,
              run.nested.size());
  EXPECT_LT(run.nested.size(), static_cast<size_t>(kMaxHostCallDepth));
  EXPECT_EQ(run.nested.front(), rt::kOutOfStackSpace);
  EXPECT_EQ(run.outer, 1001);
  EXPECT_EQ(refsuite::TotalLive(), 0);
}

}  // namespace
}  // namespace wb::proof
