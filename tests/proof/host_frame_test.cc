// A host's call as its frame holds it: the host lets go of its last object,
// or calls in again, from inside a component's call; and a host that lets go
// of an object on another thread than its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/host_scope.h"
#include "bridge/runtime_errors.h"
#include "bridge/thread_state.h"
#include "bridge/trace.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::proof {
namespace {

class HostFrameTest : public testing::SuiteTest {
 protected:
  void TearDown() override {
    refsuite::SetHostHook(nullptr);
    trace::ConfigureForTesting("");
    SuiteTest::TearDown();
  }
};

// The member lookup fails with a text that is translated: the components of
// the thread's translation cache are in the middle of their calls when the
// hook runs.
constexpr char kFailing[] = R"("Finder.OneRecordPick": {"Show": {"raise": {"number": 1001,
    "source": "Finder", "description": "查找失败"}}})";

TEST_F(HostFrameTest, TheHostLettingGoOfItsLastObjectInsideACallFreesNothingInUse) {
  struct Row {
    const char* name;
    std::string scenario;
    bool traced;
    String description;
  };
  const String prefix = u"调用门店函数出错。原因：";
  const std::string eng = R"("language": "ENG", "phrases": {"ENG": {"查找失败": "Not found",
      "调用门店函数出错。原因：": "Failed: "}})";
  const Row rows[] = {
      {"while the language is read",
       R"({"components": {"Polyglot.LocaleState": {"CurrentLanguage": {"callHost": true}}, )" +
           std::string(kFailing) + "}}",
       false, prefix + u"查找失败"},
      {"while a phrase is loaded",
       "{" + eng + R"(, "components": {"Phrasebook.Catalog": {"LoadString": {"callHost": true}}, )" +
           kFailing + "}}",
       false, u"Failed: Not found"},
      {"while a phrase is loaded, traced",
       "{" + eng + R"(, "components": {"Phrasebook.Catalog": {"LoadString": {"callHost": true}}, )" +
           kFailing + "}}",
       true, u"Failed: Not found"},
      {"while the failing component runs, traced",
       R"({"components": {"Finder.OneRecordPick": {"Show": {"callHost": true, "raise": {
           "number": 1001, "source": "Finder", "description": "查找失败"}}}}})",
       true, prefix + u"查找失败"},
  };
  const std::string trace_path = ::testing::TempDir() + "workbench-host-frame.jsonl";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UseScenario(row.scenario);
    std::remove(trace_path.c_str());
    trace::ConfigureForTesting(row.traced ? trace_path : "");
    std::optional<ThreadStateUser> host(std::in_place);
    int hooked = 0;
    refsuite::SetHostHook([&] {
      ++hooked;
      host.reset();
    });
    const ErrRecord error = CaptureHostCall([] { entry::DEVOVIZoruze(entry::kMemberLookup); });
    EXPECT_GE(hooked, 1);
    EXPECT_EQ(error, (ErrRecord{1001, u"Finder", row.description, u"", 0}));
    // What the call held went when it returned.
    EXPECT_EQ(ThreadStateUser::LiveOnThisThread(), 0);
    EXPECT_EQ(refsuite::TotalLive(), 0);
  }
}

TEST_F(HostFrameTest, CallsNestUpToTheLimitAndTheNextIsRefused) {
  UseScenario(R"({"components": {"Finder.OneRecordPick": {"Show": {"callHost": true}}}})");
  ThreadStateUser host;
  for (const int wanted : {2, kMaxHostCallDepth, kMaxHostCallDepth + 3}) {
    SCOPED_TRACE(wanted);
    std::vector<ErrRecord> outcomes;  // innermost first
    int entered = 0;
    std::function<void()> call_in = [&] {
      if (entered == wanted)
        return;
      ++entered;
      outcomes.push_back(
          CaptureHostCall([] { entry::DEVOVIZoruze(entry::kMemberLookup); }));
    };
    refsuite::SetHostHook(call_in);
    call_in();
    // The refused call runs nothing, so it calls in no further.
    const bool refused = wanted > kMaxHostCallDepth;
    ASSERT_EQ(outcomes.size(), static_cast<size_t>(refused ? kMaxHostCallDepth + 1 : wanted));
    for (size_t i = 0; i < outcomes.size(); ++i) {
      EXPECT_EQ(outcomes[i], refused && i == 0 ? (ErrRecord{rt::kOutOfStackSpace, u"Workbench",
                                                            u"Out of stack space", u"", 0})
                                               : ErrRecord{})
          << i;
    }
    EXPECT_EQ(HostCallScope::Depth(), 0);
  }
}

TEST_F(HostFrameTest, ALastReleaseOnAnotherThreadTouchesOnlyWhatThatThreadOwns) {
  UseScenario(std::string("{") + R"("language": "ENG", "components": {)" + kFailing + "}}");
  const auto call = [] { return CaptureHostCall([] { entry::DEVOVIZoruze(entry::kMemberLookup); }); };
  // The host's object on this thread, its translation cache filled.
  auto* object = new ThreadStateUser;
  call();
  const int cached = refsuite::TotalLive();
  ASSERT_GT(cached, 0);
  int other_live = -1;
  int other_cached = -1;
  std::thread other([&] {
    ThreadStateUser own;
    call();
    delete object;  // the host broke the apartment rule
    other_live = ThreadStateUser::LiveOnThisThread();
    other_cached = refsuite::TotalLive();
    call();
  });
  other.join();
  // The other thread kept its own object and cache, and left this thread's.
  EXPECT_EQ(other_live, 1);
  EXPECT_EQ(other_cached, 2 * cached);
  EXPECT_EQ(ThreadStateUser::LiveOnThisThread(), 0);
  // The next object on this thread starts afresh: the cache left behind goes
  // here, on its own thread.
  ThreadStateUser next;
  EXPECT_EQ(refsuite::TotalLive(), 0);
  EXPECT_EQ(call().number, 1001);
}

}  // namespace
}  // namespace wb::proof
