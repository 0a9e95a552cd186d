// The soak: one CWorkbench in a single-threaded apartment called N times
// (100,000 by default), ids alternating between the loyalty plan, whose
// component fails (the error translated into the scenario's language), and
// the member lookup, which succeeds. The process's private memory may not grow by 1 MB from the
// end of a warm-up to the end; the suite's live counts must be where they
// started; after the release DllCanUnloadNow answers S_OK.
//   soak_client.exe [calls]
// with WB_SUITE_SCENARIO naming scenarios/soak.json and WB_SUITE_JOURNAL a
// fresh file. The journal is switched off for the bulk of the calls and on
// for a last pair and the release, which it then shows.
#include <windows.h>

#include <cguid.h>
#include <initguid.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <memory>
#include <vector>

#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"

namespace {

using wbproof::HostError;
using wbtest::Checks;

constexpr long kDefaultCalls = 100000;
constexpr long kWarmUpCalls = 5000;
constexpr SIZE_T kGrowthLimit = 1024 * 1024;

const HostError kPlanFailure = {
    static_cast<HRESULT>(0x800A04D2), u"Loyalty",
    u"Error calling the store function. Reason: Points scheme unavailable", u"loyalty.chm", 42};

// Calls [from, to): odd numbers run the lookup, even ones the failing plan.
struct Tally {
  long wrong = 0;
  std::string first_wrong;
};

Tally Run(_CWorkbench* workbench, long from, long to) {
  Tally tally;
  const HostError success;
  for (long i = from; i < to; ++i) {
    const bool fails = i % 2 == 0;
    const HostError got =
        wbproof::CallVtable(workbench, fails ? wbproof::kLoyaltyPlan : wbproof::kMemberLookup);
    if (got == (fails ? kPlanFailure : success))
      continue;
    if (tally.wrong++ == 0)
      tally.first_wrong = "call " + std::to_string(i) + ": " + wbproof::Show(got);
  }
  return tally;
}

struct Memory {
  SIZE_T private_usage = 0;
  SIZE_T committed = 0;
};

Memory Measure() {
  return {wbproof::PrivateUsage(), wbproof::CommittedPrivateBytes()};
}

std::string Mb(long long bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

// The measure itself: 2 MB held in small blocks must show as growth, or a
// leak of the soak's size would go unseen.
void CheckMeasureSeesGrowth(Checks& t, bool usage) {
  const auto read = [usage] {
    const Memory m = Measure();
    return static_cast<long long>(usage ? m.private_usage : m.committed);
  };
  const long long before = read();
  std::vector<std::unique_ptr<char[]>> blocks;
  for (int i = 0; i < 32768; ++i) {
    blocks.emplace_back(new char[64]);
    blocks.back()[0] = static_cast<char>(i);
  }
  const long long grown = read() - before;
  t.Expect(grown >= 1536 * 1024, "memory: the measure sees 2 MB held in 64-byte blocks", Mb(grown));
}

// The last pair of calls and the release, under the journal.
void CheckLives(Checks& t,
                Microsoft::WRL::ComPtr<_CWorkbench>& workbench,
                const std::wstring& journal) {
  wbproof::SetSuiteJournal(journal);
  wbproof::CallVtable(workbench.Get(), wbproof::kLoyaltyPlan);
  wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
  std::vector<wbproof::Entry> entries = wbproof::ReadJournal(journal);
  const wbproof::Lives pair = wbproof::LivesIn(entries);
  for (const char* prog_id : {"Loyalty.CPlan", "Finder.OneRecordPick"}) {
    int created_live = -1;
    for (const wbproof::Entry& e : entries) {
      if (wbproof::Text(e, "event") == "create" && wbproof::Text(e, "progid") == prog_id)
        created_live = e.value("live", -1);
    }
    t.ExpectEq(created_live, 1,
               std::string("lives: after the soak a new ") + prog_id + " is the only one alive");
  }
  t.Expect(wbproof::Leftovers(pair).empty() && pair.created.size() == 2,
           "lives: the last pair created two instances and released both",
           wbproof::Leftovers(pair));
  t.ExpectEq(pair.created.count("Phrasebook.Catalog") + pair.created.count("Polyglot.LocaleState"),
             0, "lives: the translation components are still the ones cached by the first call");

  t.ExpectEq(wbproof::WorkbenchCanUnloadNow(), S_FALSE,
             "unload: refused while the CWorkbench lives");
  wbproof::AppendMark(journal, "release");
  workbench.Reset();
  entries = wbproof::ReadJournal(journal);
  const size_t mark = wbproof::FindMark(entries, "release");
  const wbproof::Lives released = wbproof::LivesIn(entries, mark);
  for (const char* prog_id : {"Phrasebook.Catalog", "Polyglot.LocaleState"}) {
    const bool gone = released.released.count(prog_id) && released.released.at(prog_id) == 1 &&
                      released.last_live.at(prog_id) == 0;
    t.Expect(gone, std::string("lives: ") + prog_id + " released with the CWorkbench, live 0");
  }
  t.ExpectEq(wbproof::WorkbenchCanUnloadNow(), S_OK, "unload: DllCanUnloadNow S_OK at the end");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Checks t;
  t.Plan(1 + 1 + 2 + 3 + 8);  // the set-up, the calls, the memory, the lives
  const long calls = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : kDefaultCalls;
  const long warm_up = std::min(kWarmUpCalls, calls / 2);
  const std::wstring journal = wbproof::SuiteJournalPath();
  t.Expect(!journal.empty() && calls >= 2, "WB_SUITE_JOURNAL set, at least two calls");
  if (journal.empty() || calls < 2)
    return t.Finish();
  wbproof::SetSuiteJournal(L"");

  CoInitialize(nullptr);
  {
    Microsoft::WRL::ComPtr<_CWorkbench> workbench = wbproof::NewWorkbench();
    t.Expect(static_cast<bool>(workbench), "CoCreateInstance(CLSID_CWorkbench)");
    if (workbench) {
      const Tally first = Run(workbench.Get(), 0, warm_up);
      const Memory after_warm_up = Measure();
      const auto start = std::chrono::steady_clock::now();
      const Tally bulk = Run(workbench.Get(), warm_up, calls);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const Memory at_end = Measure();

      t.Expect(first.wrong == 0, "warm-up: every call answered as expected", first.first_wrong);
      t.Expect(bulk.wrong == 0, "soak: every call answered as expected",
               std::to_string(bulk.wrong) + " wrong, first " + bulk.first_wrong);
      std::printf("# calls: %ld (%ld warm-up), half of them failing\n", calls, warm_up);
      std::printf("# after warm-up: %.2f us a call (%ld calls in %.2f s)\n",
                  seconds * 1e6 / static_cast<double>(calls - warm_up), calls - warm_up, seconds);
      std::printf("# PrivateUsage after warm-up %llu, at end %llu\n",
                  static_cast<unsigned long long>(after_warm_up.private_usage),
                  static_cast<unsigned long long>(at_end.private_usage));
      std::printf("# committed private bytes after warm-up %llu, at end %llu\n",
                  static_cast<unsigned long long>(after_warm_up.committed),
                  static_cast<unsigned long long>(at_end.committed));
      // PrivateUsage where the platform fills it (Windows), else the same
      // quantity summed from the regions (Wine).
      const bool usage = after_warm_up.private_usage != 0;
      const long long before = usage ? after_warm_up.private_usage : after_warm_up.committed;
      const long long after = usage ? at_end.private_usage : at_end.committed;
      std::printf("# private memory growth (%s): %s\n",
                  usage ? "PrivateUsage" : "committed private regions", Mb(after - before).c_str());
      t.Expect(before > 0 && after > 0, "memory: private memory is measurable");
      t.Expect(after - before < static_cast<long long>(kGrowthLimit),
               "memory: private memory grows by less than 1 MB", Mb(after - before));
      CheckMeasureSeesGrowth(t, usage);
      CheckLives(t, workbench, journal);
    }
  }
  CoUninitialize();
  return t.Finish();
}
