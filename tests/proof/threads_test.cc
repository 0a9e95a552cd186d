// Two host threads side by side, each holding its module state as a
// CWorkbench would, one working in "CHS" and one in "ENG": thousands of
// dispatch calls each, with errors translated, and no cross-talk of language,
// cached components or Err between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"
#include "tests/support/suite_fixture.h"

namespace wb::proof {
namespace {

using testing::U8;

constexpr int kRounds = 3;
constexpr int kCallsPerRound = 1000;
// Called in turn: two raise, one succeeds.
constexpr int32_t kIds[] = {entry::kLoyaltyPlan, entry::kReceiptRoll, entry::kMemberLookup};

constexpr char kScenario[] = R"({
  "language": "CHS",
  "phrases": {"ENG": {"方案不可用": "Plan unavailable", "小票用完": "Out of receipts"}},
  "components": {
    "Loyalty.CPlan": {"Show": {"raise": {"number": 1301, "source": "Plan",
        "description": "方案不可用", "helpfile": "plan.chm", "helpcontext": 11}}},
    "ReceiptRoll.CReceiptRoll": {"Showform": {"raise": {"number": 1302, "source": "Roll",
        "description": "小票用完", "helpfile": "", "helpcontext": 0}}}
  }
})";

// What the host sees for each id, in one language.
std::map<int32_t, ErrRecord> ExpectedErrors(const String& prefix,
                                            const String& plan,
                                            const String& roll) {
  return {{entry::kLoyaltyPlan, {1301, u"Plan", prefix + plan, u"plan.chm", 11}},
          {entry::kReceiptRoll, {1302, u"Roll", prefix + roll, u"", 0}},
          {entry::kMemberLookup, {}}};
}

struct Worker {
  Worker(String lang, std::map<int32_t, ErrRecord> errors)
      : language(std::move(lang)), expected(std::move(errors)) {}

  String language;
  std::map<int32_t, ErrRecord> expected;
  // Filled by the thread.
  int calls = 0;
  int mismatches = 0;
  std::string first_mismatch;
  bool escaped = false;
};

void Work(Worker& w, std::barrier<std::function<void()>>& sync) {
  ThreadStateUser user;  // the thread's module state lives while it is held
  LetMember(CreateObject(u"Polyglot.LocaleState"), u"CurrentLanguage", Variant::Str(w.language));
  sync.arrive_and_wait();
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < kCallsPerRound; ++i) {
      const int32_t id = kIds[i % 3];
      ErrRecord got;
      try {
        Err::Clear();
        entry::DEVOVIZoruze(id);
        got = Err::Get();
      } catch (const RaisedError&) {
        got = Err::Get();
      } catch (...) {
        w.escaped = true;
      }
      ++w.calls;
      if (!(got == w.expected.at(id)) && w.mismatches++ == 0) {
        w.first_mismatch = std::to_string(id) + ": " + std::to_string(got.number) + " " +
                           U8(got.source) + " \"" + U8(got.description) + "\"";
      }
    }
    sync.arrive_and_wait();
  }
}

// What the journal shows for one round of both threads.
struct RoundCounts {
  std::map<std::string, int> events;   // "create Phrasebook.Catalog" -> count
  std::vector<std::string> languages;  // answers of CurrentLanguage
};

RoundCounts Count(const std::vector<nlohmann::json>& journal) {
  RoundCounts counts;
  for (const auto& e : journal) {
    const std::string event = e.at("event");
    std::string key = event + " " + e.at("progid").get<std::string>();
    if (e.contains("member"))
      key += "." + e.at("member").get<std::string>();
    ++counts.events[key];
    if (key == "get Polyglot.LocaleState.CurrentLanguage") {
      counts.languages.push_back(e.at("result").at("value").get<std::string>());
    }
  }
  std::sort(counts.languages.begin(), counts.languages.end());
  return counts;
}

using ThreadsTest = testing::SuiteTest;

TEST_F(ThreadsTest, TwoThreadsInTwoLanguagesKeepTheirOwnStateAndErrors) {
  UseScenario(kScenario);
  Worker chs{u"CHS", ExpectedErrors(u"调用门店函数出错。原因：", u"方案不可用", u"小票用完")};
  Worker eng{u"ENG", ExpectedErrors(u"Error calling the store function. Reason: ",
                                    u"Plan unavailable", u"Out of receipts")};

  // Between rounds, while both threads wait, the journal of the round is
  // counted and cleared (phase 0: the languages being set).
  std::vector<RoundCounts> rounds;
  int phase = 0;
  std::barrier<std::function<void()>> sync(2, [&] {
    if (phase++ > 0)
      rounds.push_back(Count(refsuite::Journal()));
    refsuite::ClearJournal();
  });
  std::thread a([&] { Work(chs, sync); });
  std::thread b([&] { Work(eng, sync); });
  a.join();
  b.join();

  for (const Worker* w : {&chs, &eng}) {
    SCOPED_TRACE(U8(w->language));
    EXPECT_EQ(w->calls, kRounds * kCallsPerRound);
    EXPECT_EQ(w->mismatches, 0) << "first: " << w->first_mismatch;
    EXPECT_FALSE(w->escaped);
  }

  // Both threads' translation caches are gone with their last user.
  EXPECT_EQ(refsuite::TotalLive(), 0);

  ASSERT_EQ(rounds.size(), static_cast<size_t>(kRounds));
  // Per thread and round: the calls that raise, each translating two texts.
  int raising = 0;
  int plans = 0;
  for (int i = 0; i < kCallsPerRound; ++i) {
    raising += kIds[i % 3] != entry::kMemberLookup;
    plans += kIds[i % 3] == entry::kLoyaltyPlan;
  }
  const int translations = 2 * raising;
  for (int r = 0; r < kRounds; ++r) {
    SCOPED_TRACE("round " + std::to_string(r + 1));
    auto& events = rounds[r].events;
    // Each thread creates its own two cached components, once.
    const int firsts = r == 0 ? 2 : 0;
    EXPECT_EQ(events["create Polyglot.LocaleState"], firsts);
    EXPECT_EQ(events["create Phrasebook.Catalog"], firsts);
    EXPECT_EQ(events["release Phrasebook.Catalog"], 0);
    const std::vector<std::string> asked =
        r == 0 ? std::vector<std::string>{"CHS", "ENG"} : std::vector<std::string>{};
    EXPECT_EQ(rounds[r].languages, asked) << "each thread asks its language once";
    // Both threads configure their loader on every translation; only the
    // English one looks texts up.
    EXPECT_EQ(events["get Phrasebook.Catalog.ResFileBaseName"], 2 * translations);
    EXPECT_EQ(events["get Phrasebook.Catalog.LoadString"], translations);
    // Every store component of the round is created and released.
    for (const char* component :
         {"Loyalty.CPlan", "ReceiptRoll.CReceiptRoll", "Finder.OneRecordPick"}) {
      EXPECT_EQ(events[std::string("create ") + component],
                events[std::string("release ") + component])
          << component;
    }
    EXPECT_EQ(events["create Loyalty.CPlan"], 2 * plans);
  }
}

}  // namespace
}  // namespace wb::proof
