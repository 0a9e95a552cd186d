// Every entry path under a fault at each of its interactions with the suite.
//
// A path (a function id of the dispatch, or a tool of the console menu) is run
// once clean; the journal numbers its interactions. It is then run once per
// interaction with that interaction failing (a creation cannot create, a
// member call raises an error with all five fields), and once more for every
// interaction that the failing run adds after the fault (the translations of
// its error handlers and notices) with that one failing too. Each run must
// end exactly as the error-trap rules say, release every component, and let
// no C++ exception escape.
//
// Then every allocation of the product fails once: the path runs with its
// allocation number k failing, for k = 1, 2, ... until it runs through without
// reaching k, clean and with its last component call failing. Each run ends
// in error 7 where the traps put it, or as a translation that fails ends; the
// next call on the same thread, with no fault, gives the clean run's result.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <execinfo.h>
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>

#include <cstring>
#endif

#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "entry/dispatch.h"
#include "launchers/modpublic.h"
#include "refsuite/native.h"
#include "tests/proof/allocation_fault.h"
#include "tests/proof/console_rig.h"
#include "tests/proof/interactions.h"
#include "tests/proof/translation_model.h"
#include "tests/support/configure_trace.h"
#include "tests/support/suite_fixture.h"
#include "trace/trace.h"

namespace wb::proof {
namespace {

using modpublic::Notice;
using testing::U8;

constexpr char16_t kPrefix[] = u"调用门店函数出错。原因：";
constexpr char16_t kTitle[] = u"青禾提示";
constexpr char16_t kRightCheckSource[] = u"Err_CheckAccessRight";

// The fault injected on member calls: every field set.
const ErrRecord kInjected{1999, u"Injector", u"注入的故障", u"inject.chm", 4711};
// What a creation that fails raises.
const ErrRecord kCannotCreate{429, u"Workbench", u"ActiveX component can't create object", u"", 0};
// What an allocation that fails raises.
const ErrRecord kOutOfMemory{7, u"Workbench", u"Out of memory", u"", 0};

// The loader's English texts. A right-check failure is translated twice (by
// the check, then by the dispatch); its English text maps to a further text,
// so that each of the two translations shows in the result.
const PhraseTable& English() {
  static const auto* table = new PhraseTable{
      {kPrefix, u"Error calling the store function. Reason: "},
      {kTitle, u"Qinghe Notice"},
      {u"您没有设置机构的权限!", u"You have no right to set up branch offices!"},
      {u"您没有查询积分的权限", u"You have no right to query member points"},
      {u"日结完成", u"Day-end completed"},
      {u"反日结完成", u"Reverse day-end completed"},
      {u"日结失败", u"Day-end failed"},
      {u"反日结失败", u"Reverse day-end failed"},
      {u"注入的故障", u"Injected fault"},
      {u"Injected fault", u"Injected fault, translated again"},
      {u"报表无数据", u"The report has no data"},
      {u"ActiveX component can't create object", u"The component cannot be created"},
      {u"The component cannot be created", u"The component cannot be created, translated again"},
      {u"Out of memory", u"Memory exhausted"},
      {u"Memory exhausted", u"Memory exhausted, translated again"},
  };
  return *table;
}

const PhraseTable& PhrasesFor(const std::string& language) {
  static const PhraseTable none;
  return language == "ENG" ? English() : none;
}

// ---- What a run should end with ---------------------------------------------

struct Outcome {
  ErrRecord raised;  // number 0: the entry point raised nothing
  std::vector<Notice> notices;
  int unloads = 0;

  static Outcome Nothing() { return {}; }
  static Outcome Raised(ErrRecord error) {
    Outcome o;
    o.raised = std::move(error);
    return o;
  }
  static Outcome Shown(Notice notice) {
    Outcome o;
    o.notices.push_back(std::move(notice));
    return o;
  }
  static Outcome Unloaded() {
    Outcome o;
    o.unloads = 1;
    return o;
  }
};

bool InRightCheck(const Interaction& at) {
  return at.prog_id == "Gatekeeper.RightsDesk" || at.prog_id == "CtxStore.SessionBag";
}

// Where a run failed: the interaction of the clean run (-1: none, or only
// translations failed), what it raised, and whether the right check's trap
// caught it.
struct Fault {
  int at = -1;
  ErrRecord error;
  bool in_right_check = false;
};

// The suite failing interaction `at` on purpose.
Fault SuiteFault(const std::vector<Interaction>& clean, int at) {
  return {at, clean[at].IsCreation() ? kCannotCreate : kInjected, InRightCheck(clean[at])};
}

// The error as it leaves the launcher: the right check raises any failure
// under its own source, translated.
ErrRecord AsTheLauncherRaisesIt(const Fault& fault, TranslationModel& tr) {
  ErrRecord error = fault.error;
  if (fault.in_right_check) {
    error.source = kRightCheckSource;
    error.description = tr(error.description);
  }
  return error;
}

// The notice box: the message, the pending error's description (always
// translated, shown on request), then the title, in this order.
Notice ExpectNotice(TranslationModel& tr,
                    const String& text,
                    int32_t style,
                    bool with_description,
                    const String& pending_description) {
  const String message = tr(text);
  const String description = tr(pending_description);
  const String title = tr(kTitle);
  return {message + (with_description ? u"\r\n" + description : String()), title, style};
}

// `clean`: the interactions of the clean run; `fault`: where the run failed;
// `tr` gives the texts of the translation calls in the order the run makes
// them.
using Expectation = std::function<
    Outcome(const std::vector<Interaction>& clean, const Fault& fault, TranslationModel& tr)>;

// The dispatch: the error of the launcher with the translated prefix and the
// translated description; Number, Source and the help fields unchanged.
Outcome DispatchOutcome(const std::vector<Interaction>&, const Fault& fault, TranslationModel& tr) {
  if (fault.at < 0)
    return Outcome::Nothing();
  ErrRecord error = AsTheLauncherRaisesIt(fault, tr);
  const String prefix = tr(kPrefix);
  error.description = prefix + tr(error.description);
  return Outcome::Raised(error);
}

// A launcher clicked in the console: its error leaves the click unchanged.
Outcome LauncherOutcome(const std::vector<Interaction>&, const Fault& fault, TranslationModel& tr) {
  if (fault.at < 0)
    return Outcome::Nothing();
  return Outcome::Raised(AsTheLauncherRaisesIt(fault, tr));
}

Outcome ExitOutcome(const std::vector<Interaction>&, const Fault&, TranslationModel&) {
  return Outcome::Unloaded();
}

// The day-end tools: the click reads the user name (a failure there leaves
// the click), then the day-end shows its outcome or its failure in a notice
// and raises nothing.
Expectation DayEndOutcome(bool reverse) {
  return [reverse](const std::vector<Interaction>& clean, const Fault& fault,
                   TranslationModel& tr) {
    int run_starts = 0;
    while (run_starts < static_cast<int>(clean.size()) &&
           clean[run_starts].Describe() != "create DayClose.CDayCloseRun") {
      ++run_starts;
    }
    if (fault.at >= 0 && fault.at < run_starts)
      return Outcome::Raised(fault.error);
    if (fault.at < 0) {
      return Outcome::Shown(ExpectNotice(tr, reverse ? u"反日结完成" : u"日结完成",
                                         modpublic::kStyleInformation, false, u""));
    }
    return Outcome::Shown(ExpectNotice(tr, reverse ? u"反日结失败" : u"日结失败",
                                       modpublic::kStyleCritical, true, fault.error.description));
  };
}

// A refused right: the refusal notice, unless a fault comes first.
Expectation RefusedOutcome(Expectation on_fault, const char16_t* refusal) {
  return [on_fault, refusal](const std::vector<Interaction>& clean, const Fault& fault,
                             TranslationModel& tr) {
    if (fault.at >= 0)
      return on_fault(clean, fault, tr);
    return Outcome::Shown(ExpectNotice(tr, refusal, modpublic::kStyleExclamation, false, u""));
  };
}

// A report without result and with an error text: error 5 from "GetRptByID"
// through the dispatch, unless a fault comes first.
Outcome ReportFailedOutcome(const std::vector<Interaction>& clean,
                            const Fault& fault,
                            TranslationModel& tr) {
  if (fault.at >= 0)
    return DispatchOutcome(clean, fault, tr);
  const String prefix = tr(kPrefix);
  return Outcome::Raised({5, u"GetRptByID", prefix + tr(u"报表无数据"), u"", 0});
}

// ---- The entry paths ------------------------------------------------------------

struct EntryPath {
  std::string name;
  std::function<void(ConsoleRig&)> run;
  Expectation expect;
  std::string tool;      // a tool click: the log line comes first
  nlohmann::json setup;  // laid over the sweep's scenario
  bool traced = false;   // run with the field trace on
};

EntryPath Id(int32_t id,
             Expectation expect = DispatchOutcome,
             std::string variant = "",
             nlohmann::json setup = nlohmann::json::object(),
             bool traced = false) {
  return {std::to_string(id) + variant,
          [id](ConsoleRig&) { entry::DEVOVIZoruze(id); },
          std::move(expect),
          "",
          std::move(setup),
          traced};
}

EntryPath Tool(const char* name,
               Expectation expect,
               std::string variant = "",
               nlohmann::json setup = nlohmann::json::object()) {
  const String tool = FromUtf8(name);
  return {name + variant, [tool](ConsoleRig& rig) { rig.Click(tool); }, std::move(expect), name,
          std::move(setup)};
}

nlohmann::json Refused(const char* func_id) {
  return {{"rights", {{func_id, false}}}};
}

const std::vector<EntryPath>& Paths() {
  static const auto* paths = new std::vector<EntryPath>{
      Id(entry::kBranchSetup),
      Id(entry::kMemberLookup),
      Id(entry::kLoyaltyPlan),
      Id(entry::kReceiptRoll),
      Id(entry::kReport),
      Tool("mnuVIP_ViewAll", LauncherOutcome),
      Tool("mnuVIP_ViewScore", LauncherOutcome),
      Tool("mnuVIP_Sheme", LauncherOutcome),
      Tool("mnuOther_HotKey", LauncherOutcome),
      Tool("mnuOther_Bill", LauncherOutcome),
      Tool("mnuOther_ReckoningDaily", DayEndOutcome(false)),
      Tool("mnuOther_ReckoningDailyOver", DayEndOutcome(true)),
      Tool("mnuOther_Exit", ExitOutcome),
      Tool("mnuSet_Offset", LauncherOutcome),
      // Other ends of the same paths: refused rights, a report without data.
      Id(entry::kBranchSetup, RefusedOutcome(DispatchOutcome, u"您没有设置机构的权限!"), "_refused",
         Refused("2812")),
      Tool("mnuSet_Offset", RefusedOutcome(LauncherOutcome, u"您没有设置机构的权限!"), "_refused",
           Refused("2812")),
      Tool("mnuVIP_ViewScore", RefusedOutcome(LauncherOutcome, u"您没有查询积分的权限"), "_refused",
           Refused("2811")),
      Id(entry::kReport, ReportFailedOutcome, "_no_data",
         nlohmann::json::parse(R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [
             {"args": ["OK"], "value": false}, {"args": ["Error"], "value": "报表无数据"}]}}}})")),
      // With the field trace on: components handed to components, a notice.
      Id(entry::kReport, DispatchOutcome, "_traced", nlohmann::json::object(), true),
      Id(entry::kBranchSetup, RefusedOutcome(DispatchOutcome, u"您没有设置机构的权限!"),
         "_refused_traced", Refused("2812"), true),
  };
  return *paths;
}

// ---- One run ---------------------------------------------------------------------

struct RunResult {
  Outcome outcome;
  bool escaped = false;   // a C++ exception other than a raised error or bad_alloc
  int32_t err_after = 0;  // Err's number when nothing was raised
  std::vector<Interaction> interactions;
  std::vector<int> call_of;
  std::set<int> injected;  // interactions that the suite failed on purpose
  int counted = 0;         // the suite's own count of interactions
  String log;
  int form_refs = 0;
  int live = 0, live_language = 0, live_loader = 0, live_after_teardown = 0;
  bool allocation_failed = false;  // the failing allocation was reached,
  int at_fault = -1;               // after this many interactions,
  bool dropped_by_design = false;  // in code that drops its failures
  int trace_lines = 0, bad_trace_lines = 0;
};

std::string ScenarioFor(const EntryPath& path,
                        const std::string& language,
                        const std::vector<int>& inject_at) {
  nlohmann::json phrases = nlohmann::json::object();
  for (const auto& [source, text] : English())
    phrases[U8(source)] = U8(text);
  nlohmann::json scenario = path.setup;
  scenario["language"] = language;
  scenario["phrases"] = {{"ENG", phrases}};
  for (int at : inject_at) {
    scenario["inject"].push_back({{"at", at},
                                  {"raise",
                                   {{"number", kInjected.number},
                                    {"source", U8(kInjected.source)},
                                    {"description", U8(kInjected.description)},
                                    {"helpfile", U8(kInjected.help_file)},
                                    {"helpcontext", kInjected.help_context}}}});
  }
  return scenario.dump();
}

// The traced paths' file, for the length of their test (one per process:
// ctest runs tests side by side).
const std::string& TraceFile() {
  static const auto* path = new std::string(::testing::TempDir() + "fault-sweep-trace-" +
                                            std::to_string(::getpid()) + ".jsonl");
  return *path;
}

// Where the failing allocation struck, and whether in code that drops its
// failures by design (the translation, the trace): only the sanitizers'
// symbolizer tells the latter.
thread_local RunResult t_fault;

void NoteTheFault() {
  t_fault.at_fault = refsuite::Interactions();
  t_fault.dropped_by_design = false;
#if defined(__SANITIZE_ADDRESS__)
  void* frames[64];
  const int count = backtrace(frames, 64);
  for (int i = 0; i < count && !t_fault.dropped_by_design; ++i) {
    char file[512];
    __sanitizer_symbolize_pc(frames[i], "%s", file, sizeof file);
    t_fault.dropped_by_design =
        std::strstr(file, "session/translate.cc") || std::strstr(file, "trace/");
  }
#endif
}

// One call of the path on the thread's state as it stands; with
// `fail_allocation` > 0, that allocation of the product fails.
RunResult CallOnce(const EntryPath& path, int fail_allocation) {
  refsuite::ClearJournal();
  if (path.traced)
    std::ofstream(TraceFile(), std::ios::trunc);  // appended to from its new end
  RunResult result;
  modpublic::SetNoticeSink([&](const Notice& n) {
    const AllocationFault::Outside outside;
    result.outcome.notices.push_back(n);
  });
  // A console runs in a thread where its load has set the database type.
  if (!path.tool.empty())
    modpublic::gDataBaseType() = 1;
  Err::Clear();
  {
    ConsoleRig rig;
    std::exception_ptr left;
    if (fail_allocation > 0)
      AllocationFault::Arm(fail_allocation, &NoteTheFault);
    try {
      path.run(rig);
    } catch (...) {
      left = std::current_exception();
    }
    if (fail_allocation > 0 && AllocationFault::Disarm()) {
      result.allocation_failed = true;
      result.at_fault = t_fault.at_fault;
      result.dropped_by_design = t_fault.dropped_by_design;
    }
    result.err_after = Err::Number();
    try {
      if (left)
        std::rethrow_exception(left);
    } catch (const RaisedError&) {
      result.outcome.raised = Err::Get();
    } catch (const std::bad_alloc&) {
      // A handler that ran out of memory itself: the host's boundary makes
      // it error 7.
      result.outcome.raised = kOutOfMemory;
    } catch (...) {
      result.escaped = true;
    }
    result.outcome.unloads = rig.form().unloads();
    result.form_refs = rig.form().refs();
    result.log = rig.log().Text();
  }
  const auto journal = refsuite::Journal();
  result.interactions = InteractionsOf(journal);
  result.call_of = TranslationCallOf(result.interactions);
  for (const auto& entry : journal) {
    if (entry.value("injected", false))
      result.injected.insert(entry.at("seq").get<int>());
  }
  result.counted = refsuite::Interactions();
  result.live = refsuite::TotalLive();
  result.live_language = refsuite::LiveCount("Polyglot.LocaleState");
  result.live_loader = refsuite::LiveCount("Phrasebook.Catalog");
  std::ifstream trace(path.traced ? TraceFile() : "");
  for (std::string line; std::getline(trace, line); ++result.trace_lines)
    result.bad_trace_lines += nlohmann::json::accept(line) ? 0 : 1;
  modpublic::SetNoticeSink(nullptr);
  return result;
}

// A call on a fresh thread state; then, with `again`, the next call on the
// same thread with no fault at all.
RunResult RunPath(const EntryPath& path,
                  const std::string& language,
                  const std::vector<int>& inject_at,
                  int fail_allocation = 0,
                  RunResult* again = nullptr) {
  TeardownThreadState();
  refsuite::LoadScenarioText(ScenarioFor(path, language, inject_at));
  RunResult result = CallOnce(path, fail_allocation);
  if (again) {
    refsuite::LoadScenarioText(ScenarioFor(path, language, {}));
    *again = CallOnce(path, 0);
  }
  TeardownThreadState();
  result.live_after_teardown = refsuite::TotalLive();
  if (again)
    again->live_after_teardown = result.live_after_teardown;
  return result;
}

std::string Show(const Notice& n) {
  return "{\"" + U8(n.prompt) + "\", \"" + U8(n.title) + "\", " + std::to_string(n.style) + "}";
}

std::vector<std::string> Show(const std::vector<Notice>& notices) {
  std::vector<std::string> out;
  for (const Notice& n : notices)
    out.push_back(Show(n));
  return out;
}

std::string Show(const Outcome& outcome) {
  std::ostringstream out;
  PrintTo(outcome.raised, &out);
  for (const std::string& notice : Show(outcome.notices))
    out << ", notice " << notice;
  out << ", unloads " << outcome.unloads;
  return out.str();
}

// ---- The sweep ---------------------------------------------------------------------

// The store's calls of a run, its translation steps left out.
std::vector<std::string> StoreCalls(const std::vector<Interaction>& interactions) {
  std::vector<std::string> out;
  for (const Interaction& i : interactions) {
    if (!IsTranslationStep(i))
      out.push_back(i.Describe());
  }
  return out;
}

using SweepParam = std::tuple<size_t, std::string>;  // path, language

class FaultSweep : public testing::SuiteTest, public ::testing::WithParamInterface<SweepParam> {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    if (path().traced)
      trace::ConfigureForTesting(TraceFile());
  }
  void TearDown() override {
    if (path().traced) {
      trace::ConfigureForTesting("");
      std::remove(TraceFile().c_str());
    }
    SuiteTest::TearDown();
  }

  const EntryPath& path() const { return Paths()[std::get<0>(GetParam())]; }
  const std::string& language() const { return std::get<1>(GetParam()); }
  TranslationModel Model(std::set<int> failing_calls) const {
    return TranslationModel(FromUtf8(language()), PhrasesFor(language()), std::move(failing_calls));
  }

  // What every run must leave behind, whatever its outcome.
  void ExpectCleanEnd(const RunResult& r, bool log_may_be_missing) {
    EXPECT_FALSE(r.escaped) << "a C++ exception left the entry point";
    const std::string log = U8(r.log);
    if (!path().tool.empty() && !(log_may_be_missing && log.empty())) {
      // Written before the action, whatever the action then does.
      EXPECT_EQ(log.rfind("You click: " + path().tool + "\t", 0), 0u) << log;
      EXPECT_TRUE(log.ends_with("\r\n")) << log;
      EXPECT_EQ(log.find("\r\n"), log.size() - 2) << "one line: " << log;
    }
    EXPECT_EQ(r.form_refs, 0) << "the form's references are given back";
    EXPECT_LE(r.live_language, 1);
    EXPECT_LE(r.live_loader, 1);
    EXPECT_EQ(r.live, r.live_language + r.live_loader)
        << "only the cached translation components outlive the call";
    EXPECT_EQ(r.live_after_teardown, 0) << "the thread's teardown releases the caches";
    EXPECT_EQ(r.counted, static_cast<int>(r.interactions.size()));
    EXPECT_EQ(r.bad_trace_lines, 0) << "each trace line is one JSON object";
  }

  // Runs with faults at `inject_at` and checks the run against the path's
  // expectation; true when the suite really failed each of them.
  bool RunAndCheck(const std::vector<int>& inject_at,
                   const Fault& fault,
                   std::set<int> failing_calls,
                   const std::vector<Interaction>& clean,
                   RunResult* out = nullptr) {
    RunResult r = RunPath(path(), language(), inject_at);
    TranslationModel tr = Model(std::move(failing_calls));
    const Outcome want = path().expect(clean, fault, tr);

    EXPECT_EQ(Show(r.outcome), Show(want)) << "raised, notices, unloads";
    if (want.raised.number == 0) {
      EXPECT_EQ(r.err_after, 0) << "Err is clear after the call";
    }
    EXPECT_EQ(TranslationCalls(r.call_of), tr.calls()) << "the translations the run made";
    ExpectCleanEnd(r, false);

    bool all_injected = true;
    for (int at : inject_at)
      all_injected = all_injected && r.injected.count(at) == 1;
    EXPECT_TRUE(all_injected) << "the faults were not all injected";
    if (out)
      *out = std::move(r);
    return all_injected;
  }

  // Fails each allocation of the path's run in turn (with the suite failing
  // `base`), until the run no longer reaches it; returns how many it failed.
  int SweepAllocations(const Fault& base, const RunResult& clean) {
    SCOPED_TRACE(base.at < 0
                     ? "allocations"
                     : "allocations, " + clean.interactions[base.at].Describe() + " failing");
    const std::vector<int> inject_at =
        base.at < 0 ? std::vector<int>{} : std::vector<int>{base.at + 1};
    int k = 1;
    for (; k < 100000 && !HasFailure(); ++k) {
      RunResult next;
      const RunResult r = RunPath(path(), language(), inject_at, k, &next);
      if (!r.allocation_failed)
        break;
      SCOPED_TRACE("allocation " + std::to_string(k) + " failing");
      ExpectOutOfMemory(r, base, clean.interactions);
      // Nothing half made survives into the thread's next call.
      EXPECT_EQ(Show(next.outcome), Show(clean.outcome)) << "the next call";
      EXPECT_EQ(StoreCalls(next.interactions), StoreCalls(clean.interactions)) << "the next call";
      if (path().traced) {
        EXPECT_GE(next.trace_lines, static_cast<int>(StoreCalls(clean.interactions).size()))
            << "the trace is still on for the next call";
      }
      ExpectCleanEnd(next, false);
    }
    EXPECT_LT(k, 100000) << "the path never ran through";
    return k - 1;
  }

  // A run whose allocation failed ends as the traps make of error 7 where it
  // struck: as a fault of the interaction that the run was at or of the one
  // before (caught by the right check's trap or not), as a translation that
  // failed and left its text as it was, or, where a handler itself ran out,
  // as the bare error 7 at the host's boundary.
  void ExpectOutOfMemory(const RunResult& r,
                         const Fault& base,
                         const std::vector<Interaction>& clean) {
    // After the suite's fault, the run is in that fault's handlers.
    const int last = base.at < 0 ? static_cast<int>(clean.size()) - 1 : base.at;
    std::vector<Fault> faults{base};
    for (int i : {r.at_fault - 1, r.at_fault}) {
      if (i = std::min(i, last); i >= 0) {
        faults.push_back({i, kOutOfMemory, InRightCheck(clean[i])});
        faults.push_back({i, kOutOfMemory, false});
      }
    }
    std::vector<std::string> ends{Show(Outcome::Raised(kOutOfMemory))};
    for (const Fault& fault : faults) {
      for (int untranslated = -1;; ++untranslated) {
        TranslationModel tr = Model({untranslated});
        ends.push_back(Show(path().expect(clean, fault, tr)));
        if (untranslated >= tr.calls())
          break;
      }
    }
    const std::string got = Show(r.outcome);
    EXPECT_NE(std::find(ends.begin(), ends.end(), got), ends.end())
        << got << " after interaction " << r.at_fault;
#if defined(__SANITIZE_ADDRESS__)
    // Only the sanitizers' symbolizer tells where the allocation failed.
    if (got == ends[1]) {
      EXPECT_TRUE(r.dropped_by_design)
          << "an allocation failed unnoticed after interaction " << r.at_fault;
    }
#endif
    ExpectCleanEnd(r, got == ends[0]);
  }
};

TEST_P(FaultSweep, EveryInteractionAndEveryAllocationFailsOnce) {
  const std::string trace = path().name + " " + language();
  SCOPED_TRACE(trace);

  // The clean run: its interactions are the injection points.
  RunResult clean;
  RunAndCheck({}, Fault{}, {}, {}, &clean);
  const std::vector<Interaction>& points = clean.interactions;
  for (size_t i = 0; i < points.size(); ++i) {
    ASSERT_EQ(points[i].seq, static_cast<int>(i + 1)) << "numbered in journal order";
  }

  int covered = 0;
  int later_points = 0;
  int later_covered = 0;
  for (int k = 1; k <= static_cast<int>(points.size()); ++k) {
    const Interaction& at = points[k - 1];
    SCOPED_TRACE("fault at " + std::to_string(k) + ": " + at.Describe());
    const bool in_translation = IsTranslationStep(at);
    std::set<int> failing;
    if (in_translation)
      failing.insert(clean.call_of[k - 1]);
    const Fault failed = in_translation ? Fault{} : SuiteFault(points, k - 1);

    RunResult first;
    if (RunAndCheck({k}, failed, failing, points, &first))
      ++covered;
    // Up to the fault, the run is the clean one; the fault is on the same
    // component and member.
    ASSERT_GE(first.interactions.size(), static_cast<size_t>(k));
    for (int i = 0; i + 1 < k; ++i) {
      ASSERT_EQ(first.interactions[i].Describe(), points[i].Describe());
    }
    EXPECT_EQ(first.interactions[k - 1].prog_id, at.prog_id);
    EXPECT_EQ(first.interactions[k - 1].member, at.member);

    // What the fault adds (handlers, notices) fails in turn as well.
    for (int j = k + 1; j <= static_cast<int>(first.interactions.size()); ++j) {
      const Interaction& later = first.interactions[j - 1];
      SCOPED_TRACE("and at " + std::to_string(j) + ": " + later.Describe());
      ++later_points;
      if (!IsTranslationStep(later)) {
        ADD_FAILURE() << "after a fault only translations should follow";
        continue;
      }
      std::set<int> both = failing;
      both.insert(first.call_of[j - 1]);
      if (RunAndCheck({k, j}, failed, both, points))
        ++later_covered;
    }
  }

  EXPECT_EQ(covered, static_cast<int>(points.size())) << "an injection point was skipped";
  EXPECT_EQ(later_covered, later_points) << "a later injection point was skipped";

  // Every allocation, clean and with the last store call failing, so that
  // the handlers' allocations fail too.
  const int allocations = SweepAllocations(Fault{}, clean);
  int last = static_cast<int>(points.size()) - 1;
  while (last >= 0 && IsTranslationStep(points[last]))
    --last;
  const int handled = last < 0 ? 0 : SweepAllocations(SuiteFault(points, last), clean);
  // A sweep that failed nothing proves nothing: the switch did not strike.
  EXPECT_GT(allocations, 0) << trace << ": no allocation of the path failed";
  if (last >= 0) {
    EXPECT_GT(handled, 0) << trace << ": no allocation failed with the last store call failing";
  }
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "memory leaked (see the report above)";
#endif
  RecordProperty("injection_points", static_cast<int>(points.size()));
  RecordProperty("later_injection_points", later_points);
  RecordProperty("allocations", allocations);
  RecordProperty("allocations_with_a_fault", handled);
  std::cout << "[ sweep    ] " << trace << ": " << covered << "/" << points.size()
            << " interactions failed; " << later_covered << "/" << later_points
            << " later interactions failed after them; " << allocations << " allocations, "
            << handled << " with the last store call failing\n";
}

std::string SweepName(const ::testing::TestParamInfo<SweepParam>& info) {
  return Paths()[std::get<0>(info.param)].name + "_" + std::get<1>(info.param);
}

INSTANTIATE_TEST_SUITE_P(EntryPaths,
                         FaultSweep,
                         ::testing::Combine(::testing::Range<size_t>(0, Paths().size()),
                                            ::testing::Values("CHS", "ENG")),
                         SweepName);

}  // namespace
}  // namespace wb::proof
