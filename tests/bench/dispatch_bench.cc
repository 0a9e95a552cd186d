// The cost of the system's own work around the component calls it must make:
// each operation against a hand-written sequence of exactly those calls, on
// the same reference-suite components, in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bridge/bridge.h"
#include "bridge/host_scope.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"
#include "session/mmts.h"
#include "tests/support/configure_trace.h"
#include "trace/trace.h"

namespace {

using namespace wb;

void Prepare(const char* scenario) {
  refsuite::InstallNative();
  refsuite::LoadScenarioText(scenario);
  refsuite::ClearJournal();
}

// DEVOVIZoruze(kMemberLookup): the member lookup.
void BM_MemberLookupDispatch(benchmark::State& state) {
  Prepare("{}");
  ThreadStateUser user;
  for (auto _ : state) {
    entry::DEVOVIZoruze(entry::kMemberLookup);
    refsuite::ClearJournal();
  }
}
BENCHMARK(BM_MemberLookupDispatch);

void BM_MemberLookupFloor(benchmark::State& state) {
  Prepare("{}");
  for (auto _ : state) {
    ObjectRef lookup = CreateObject(u"Finder.OneRecordPick");
    LetMember(lookup, u"ClassTypeID", Variant::Long(1005001));
    LetMember(lookup, u"classTypeFilter", Variant::Str(u" FBillTypeID=1 AND FID>0 "));
    LetMember(lookup, u"ShowType", Variant::Integer(0));
    CallMember(lookup, u"Show");
    lookup.Reset();
    refsuite::ClearJournal();
  }
}
BENCHMARK(BM_MemberLookupFloor);

// The same with the field trace on, to a file: the cost of tracing a call.
void BM_MemberLookupDispatchTraced(benchmark::State& state) {
  Prepare("{}");
  const std::string path = "/tmp/workbench-bench-trace.jsonl";
  std::remove(path.c_str());
  trace::ConfigureForTesting(path);
  {
    ThreadStateUser user;
    for (auto _ : state) {
      entry::DEVOVIZoruze(entry::kMemberLookup);
      refsuite::ClearJournal();
    }
  }
  trace::ConfigureForTesting("");
  std::remove(path.c_str());
}
BENCHMARK(BM_MemberLookupDispatchTraced);

constexpr char kEnglish[] =
    R"({"language": "ENG", "phrases": {"ENG": {"日结完成": "Day-end completed"}}})";

// TranslateText of a plain text in another language, components cached.
void BM_TranslatePlain(benchmark::State& state) {
  Prepare(kEnglish);
  ThreadStateUser user;
  mmts::TranslateText(u"日结完成");
  for (auto _ : state) {
    benchmark::DoNotOptimize(mmts::TranslateText(u"日结完成"));
    refsuite::ClearJournal();
  }
}
BENCHMARK(BM_TranslatePlain);

void BM_TranslatePlainFloor(benchmark::State& state) {
  Prepare(kEnglish);
  const ObjectRef loader = CreateObject(u"Phrasebook.Catalog");
  LetMember(loader, u"ResFileBaseName", Variant::Str(u"Q5COM"));
  LetMember(loader, u"LanguageID", Variant::Str(u"ENG"));
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetMember(loader, u"ResFileBaseName"));
    benchmark::DoNotOptimize(GetMember(loader, u"LanguageID"));
    Variant key = Variant::Str(u"日结完成");
    benchmark::DoNotOptimize(GetMember(loader, u"LoadString", {Arg::Ref(key)}));
    refsuite::ClearJournal();
  }
}
BENCHMARK(BM_TranslatePlainFloor);

// DEVOVIZoruze(kLoyaltyPlan) whose component raises, translated into ENG with
// the components cached: the prefix and the description each cost two
// property reads and a lookup.
constexpr char kEnglishFailing[] = R"({"language": "ENG",
  "phrases": {"ENG": {"调用门店函数出错。原因：": "Error calling the store function. Reason: ",
                      "积分方案无法打开": "The points scheme cannot be opened"}},
  "components": {"Loyalty.CPlan": {"Show": {"raise": {"number": 1001, "source": "Loyalty.CPlan",
                                                      "description": "积分方案无法打开"}}}}})";

void BM_TranslatedFailure(benchmark::State& state) {
  Prepare(kEnglishFailing);
  ThreadStateUser user;
  for (auto _ : state) {
    try {
      entry::DEVOVIZoruze(entry::kLoyaltyPlan);
    } catch (const RaisedError&) {
    }
    Err::Clear();
    refsuite::ClearJournal();
  }
}
BENCHMARK(BM_TranslatedFailure);

void BM_TranslatedFailureFloor(benchmark::State& state) {
  Prepare(kEnglishFailing);
  const ObjectRef loader = CreateObject(u"Phrasebook.Catalog");
  LetMember(loader, u"ResFileBaseName", Variant::Str(u"Q5COM"));
  LetMember(loader, u"LanguageID", Variant::Str(u"ENG"));
  const auto lookup = [&](const char16_t* text) {
    benchmark::DoNotOptimize(GetMember(loader, u"ResFileBaseName"));
    benchmark::DoNotOptimize(GetMember(loader, u"LanguageID"));
    Variant key = Variant::Str(text);
    benchmark::DoNotOptimize(GetMember(loader, u"LoadString", {Arg::Ref(key)}));
  };
  for (auto _ : state) {
    try {
      const ObjectRef plan = CreateObject(u"Loyalty.CPlan");
      CallMember(plan, u"Show");
    } catch (const RaisedError&) {
    }
    lookup(u"调用门店函数出错。原因：");
    lookup(u"积分方案无法打开");
    Err::Clear();
    refsuite::ClearJournal();
  }
}
BENCHMARK(BM_TranslatedFailureFloor);

// The frame of a host's call (depth limit, thread state held) around an
// empty body, against the trap alone: the frame's own cost per call.
void BM_HostCallFrame(benchmark::State& state) {
  ThreadStateUser user;
  for (auto _ : state)
    benchmark::DoNotOptimize(CaptureHostCall([] {}));
}
BENCHMARK(BM_HostCallFrame);

void BM_HostCallFrameFloor(benchmark::State& state) {
  ThreadStateUser user;
  for (auto _ : state)
    benchmark::DoNotOptimize(CaptureError([] {}));
}
BENCHMARK(BM_HostCallFrameFloor);

}  // namespace

BENCHMARK_MAIN();
