// The converter against traces that are bad, odd or partly unreplayable:
// each row is a trace file, and what must come of it.
#include "tools/replay/conversion.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "entry/dispatch.h"
#include "refsuite/scenario_json.h"

namespace replay {
namespace {

// "#Name" stands for the function id of that name (entry/dispatch.h).
std::string WithIds(std::string text) {
  for (const wb::entry::FunctionId& function : wb::entry::kFunctionIds) {
    const std::string token = std::string("#") + function.name;
    for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at))
      text.replace(at, token.size(), std::to_string(function.id));
  }
  return text;
}

// The control characters, DEL among them, but the line end, which only the
// listing's lines use.
const std::string kControls = [] {
  std::string controls(1, '\0');
  for (char c = 1; c < 0x20; ++c)
    controls += c == '\n' ? '\x7f' : c;
  return controls;
}();

// "@" opens a trace line of process 7, thread 9.
std::string Trace(std::string text) {
  std::string out;
  for (char c : WithIds(std::move(text)))
    out += c == '@' ? std::string(R"({"time":"2026-11-27 10:00:00.000","pid":7,"thread":9,)")
                    : std::string(1, c);
  return out;
}

const std::string kReceipt = R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#ReceiptRoll}
@"event":"create","progid":"ReceiptRoll.CReceiptRoll"}
@"event":"call","progid":"ReceiptRoll.CReceiptRoll","member":"Showform","args":[],"result":{"type":"Empty","value":null}}
@"event":"release","progid":"ReceiptRoll.CReceiptRoll"}
@"event":"host-leave","method":"DEVOVIZoruze","id":#ReceiptRoll,"outcome":"ok"}
)";
const std::string kLanguage = R"(@"event":"create","progid":"Polyglot.LocaleState"}
@"event":"get","progid":"Polyglot.LocaleState","member":"CurrentLanguage","args":[],"result":{"type":"String","value":"ENG"}}
)";
const std::string kProps = std::string(256, 'p');
// The session (its text cut at 256), a right, the language, a phrase.
const std::string kStoreDay = Trace(
    R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#BranchSetup}
@"event":"get","progid":"CtxStore.SessionBag","member":"GetProperty","args":[{"type":"Long","value":7,"byref":true},{"type":"String","value":"PropsString","byref":true}],"result":{"type":"String","value":")" +
    kProps + R"(","length":300}}
@"event":"get","progid":"Gatekeeper.RightsDesk","member":"AccessCheck","args":[{"type":"String","value":"p","byref":false},{"type":"Long","value":2812,"byref":true}],"result":{"type":"Boolean","value":false}}
)" + kLanguage +
    R"(@"event":"let","progid":"Phrasebook.Catalog","member":"LanguageID","args":[{"type":"String","value":"eng","byref":false}],"result":{"type":"Empty","value":null}}
@"event":"get","progid":"Phrasebook.Catalog","member":"LoadString","args":[{"type":"String","value":"日结完成","byref":true}],"result":{"type":"String","value":"Day closed"}}
@"event":"host-leave","method":"DEVOVIZoruze","id":#BranchSetup,"outcome":"ok"}
)");

std::string Repeat(int times, const std::string& text) {
  std::string out;
  for (int i = 0; i < times; ++i)
    out += text;
  return out;
}
// A host call of #Report around `events`.
std::string Call(const std::string& events) {
  return R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#Report}
)" + events +
         R"(@"event":"host-leave","method":"DEVOVIZoruze","id":#Report,"outcome":"ok"}
)";
}
// A ClsTable created before `events` and released after them.
std::string Created(const std::string& events) {
  return R"(@"event":"create","progid":"Tabulate.ClsTable"}
)" + events +
         R"(@"event":"release","progid":"Tabulate.ClsTable"}
)";
}
// A call of its Result that ends in `tail` (its "result" or "error").
std::string Result(const std::string& tail) {
  return R"(@"event":"call","progid":"Tabulate.ClsTable","member":"Result","args":[],)" + tail +
         "}\n";
}
// `count` threads of process 8 with a refused host call each.
std::string Threads(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += R"({"time":"t","pid":8,"thread":)" + std::to_string(i) +
           R"(,"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80020005"})"
           "\n";
  }
  return out;
}

struct Row {
  const char* name;
  std::string trace;
  Pick pick = {};
  uint64_t hole = 0;  // zero bytes (a sparse hole) before the trace
  bool fifo = false;  // read from a pipe
  size_t max_calls = 10000;
  std::vector<const char*> error = {};  // nothing replayable: the message has them
  std::vector<const char*> notes = {};
  const char* plan = "";
  // A JSON pointer into the scenario and the value it must hold there.
  const char* at = nullptr;
  const char* value = nullptr;
};

const Row kRows[] = {
    {.name = "empty file", .trace = "", .error = {"the file is empty"}},
    {.name = "not JSON lines",
     .trace = "<html>\n<body>a store</body>\n",
     .error = {"not a field trace (JSON lines): no line of it is a trace line (line 1: not JSON)"},
     .notes = {"line 1 (and 1 more): not a trace line (not JSON)"}},
    {.name = "one JSON document, not lines",
     .trace = "[\n{\"event\": \"create\"}\n]\n",
     .error = {"no line of it is a trace line"},
     .notes = {"line 1 (and 2 more): not a trace line (not JSON)"}},
    {.name = "lines of another log",
     .trace = "{\"level\":\"info\",\"msg\":\"started\"}\n",
     .error = {"(line 1: /event: expected a text)"},
     .notes = {"line 1: not a trace line (/event: expected a text)"}},
    {.name = "a newer trace: unknown fields and events",
     .trace = Trace(R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#ReceiptRoll,"session":3}
@"event":"create","progid":"ReceiptRoll.CReceiptRoll"}
@"event":"call","progid":"ReceiptRoll.CReceiptRoll","member":"Showform","args":[],"result":{"type":"Empty","value":null,"vt":0},"elapsed":4}
@"event":"gc-pause","ms":3}
@"event":"release","progid":"ReceiptRoll.CReceiptRoll"}
@"event":"host-leave","method":"DEVOVIZoruze","id":#ReceiptRoll,"outcome":"ok"}
)"),
     .notes = {"line 1: unknown field \"host-enter.session\"",
               "line 3: unknown field \"call.elapsed\"", "line 3: unknown field \"call.result.vt\"",
               "line 4: unknown event \"gc-pause\""},
     .plan = "call #ReceiptRoll\n",
     .at = "/components/ReceiptRoll.CReceiptRoll/Showform/value/type",
     .value = "\"Empty\""},
    {.name = "a truncated last line, inside a call",
     .trace = Trace(kReceipt + R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#MemberLookup}
@"event":"create","progid":"Finder.OneRe)"),
     .notes = {"line 7: the last line is cut short",
               "line 6: the trace ends inside DEVOVIZoruze(#MemberLookup) (cut at a size limit"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "several gigabytes, a hole of zeros first",
     .trace = Trace("\n" + kReceipt),
     .pick = {7, 9},
     .hole = uint64_t{4} << 30,
     .notes = {"line 1: a line longer than 1 MiB is no trace line"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "more host calls than replayed",
     .trace = Trace(kReceipt + kReceipt + kReceipt),
     .max_calls = 2,
     .notes = {"line 11: the trace goes on past 2 host calls"},
     .plan = "call #ReceiptRoll\ncall #ReceiptRoll\n"},
    {.name = "two processes and no pick",
     .trace = Trace(
         kReceipt +
         R"({"time":"2026-11-27 11:00:00.000","pid":8,"thread":9,"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80020005"}
)"),
     .error =
         {"host calls from 2 threads of 2 processes; pick one with --process PID, and --thread TID "
          "where a process has several; the trace holds:\n"
          "  process 7, thread 9: 2026-11-27 10:00:00.000 to 2026-11-27 10:00:00.000, 1 host "
          "calls: DEVOVIZoruze #ReceiptRoll\n"
          "  process 8, thread 9: 2026-11-27 11:00:00.000 to 2026-11-27 11:00:00.000, 1 host "
          "calls: DEVOVIZoruze refused"}},
    {.name = "a console session, a ProgID outside the catalogue, refusals",
     .trace = Trace(R"(@"event":"host-enter","method":"ShowWorkbenchForm"}
@"event":"create","progid":"Loyalty.CPlan"}
@"event":"host-leave","method":"ShowWorkbenchForm","outcome":"ok"}
@"event":"host-enter","method":"DEVOVIZoruze","id":#MemberLookup}
@"event":"create","progid":"Vendor.Gadget"}
@"event":"host-leave","method":"DEVOVIZoruze","id":#MemberLookup,"outcome":"ok"}
@"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x8002000A"}
@"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80004003"}
)" + kReceipt),
     .notes = {"line 1: ShowWorkbenchForm, a console session: its clicks are not host calls",
               "line 4: \"Vendor.Gadget\" is outside the reference suite's catalog: the host call "
               "that uses it (DEVOVIZoruze(#MemberLookup)) is not replayed",
               "line 8: a call of DEVOVIZoruze refused with 0x80004003"},
     .plan = "refuse overflow\ncall #ReceiptRoll\n"},
    {.name = "the session, a right, the language, a phrase, a text cut at 256",
     .trace = kStoreDay,
     .notes = {"line 2: the answer of CtxStore.SessionBag.GetProperty is cut at 256 of 300 "
               "characters: the replay fills the rest with \"~\"",
               "the trace ends while its host still held Workbench"},
     .plan = "call #BranchSetup\nhold\n"},
    {.name = "answers by the number of the call, a failed and a good creation",
     .trace = Trace(R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#Report}
@"event":"create-failed","progid":"Tabulate.ClsTable","error":{"number":429,"source":"Workbench","description":"ActiveX component can't create object","helpfile":"","helpcontext":0}}
@"event":"create","progid":"Tabulate.ClsTable"}
@"event":"get","progid":"Tabulate.ClsTable","member":"Result","args":[{"type":"String","value":"OK","byref":false}],"result":{"type":"Boolean","value":false}}
@"event":"get","progid":"Tabulate.ClsTable","member":"Result","args":[{"type":"String","value":"Error","byref":false}],"result":{"type":"String","value":"x"}}
@"event":"get","progid":"Tabulate.ClsTable","member":"Result","args":[{"type":"String","value":"Error","byref":false}],"result":{"type":"String","value":"x"}}
@"event":"release","progid":"Tabulate.ClsTable"}
@"event":"host-leave","method":"DEVOVIZoruze","id":#Report,"outcome":"ok"}
)"),
     .plan = "call #Report\n",
     .at = "/components/Tabulate.ClsTable/Result",
     .value = R"({"value":"x","when":[{"nthOverall":1,"value":false}]})"},
    {.name = "the host lets Workbench go between calls, and holds it at the end",
     .trace = Trace(R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#MemberLookup}
)" + kLanguage + R"(@"event":"host-leave","method":"DEVOVIZoruze","id":#MemberLookup,"outcome":"ok"}
@"event":"release","progid":"Polyglot.LocaleState"}
@"event":"host-enter","method":"DEVOVIZoruze","id":#MemberLookup}
)" + kLanguage + R"(@"event":"host-leave","method":"DEVOVIZoruze","id":#MemberLookup,"outcome":"ok"}
)"),
     .notes = {"the trace ends while its host still held Workbench: the replay's closing releases "
               "(Polyglot.LocaleState) are not compared"},
     .plan = "call #MemberLookup\nrenew\ncall #MemberLookup\nhold\n",
     .at = "/components/Polyglot.LocaleState"},
    // What a trace from outside may hold; each row names what it stops.
    {.name = "a value nested 100,000 deep: no recursion",
     .trace =
         Trace(Call(Created(Result(R"("result":{"type":"Weird","value":)" +
                                   std::string(100000, '[') + std::string(100000, ']') + "}")))),
     .notes = {"line 3: not a trace line (nested deeper than 64 levels): skipped"},
     .plan = "call #Report\n"},
    {.name = "forty cut texts claiming 2^31 characters each: the filling's budget",
     .trace = Trace(
         kReceipt +
         Repeat(
             40,
             Call(
                 R"(@"event":"create-failed","progid":"Tabulate.ClsTable","error":{"number":429,"source":"W","description":"ab","description_length":2147483648,"helpfile":"","helpcontext":0}}
)"))),
     .notes = {"line 6 (and 39 more): the cut texts of DEVOVIZoruze(#Report) would be filled to "
               "2,147,483,648 characters, and the replay fills 8,388,608 in all (0 filled "
               "before): that call is not replayed"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "a call that never ends, its events past 64 MB: the held events' budget",
     .trace = Trace(kReceipt + R"(@"event":"host-enter","method":"DEVOVIZoruze","id":#Report}
)" +
                    Repeat(
                        8,
                        R"(@"event":"call","progid":"Tabulate.ClsTable","member":"Result","args":[)" +
                            Repeat(13000, R"({"type":"Empty","value":null,"byref":false},)") +
                            R"({"type":"Empty","value":null,"byref":false}],"result":{"type":"Empty","value":null}})"
                            "\n")),
     .notes = {"line 6: a host call with more than 20,000 events, or more than 64 MB of them",
               "line 6: the trace ends inside DEVOVIZoruze(#Report)"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "5,001 threads with host calls: counted past the 4,096 listed",
     .trace = Trace(kReceipt) + Threads(5000),
     .error = {"host calls from 5,001 threads of 2 processes",
               "\n  ... and 905 more threads (5,001 in all), not listed"}},
    {.name = "a process whose one thread comes after 4,096 others",
     .trace = Threads(5000) + Trace(kReceipt),
     .pick = {.pid = 7, .thread = {}},
     .plan = "call #ReceiptRoll\n"},
    {.name = "three field names of 100,000 bytes: one note, cut",
     .trace =
         Trace(kReceipt +
               Repeat(3, R"(@"event":"create","progid":"A",")" + std::string(100000, 'f') + R"(":1}
)")),
     .notes = {"line 6 (and 2 more): not a trace line (a field name of 100000 bytes, longer than "
               "64: \"ffffffffffffffffffffffff...\"): skipped"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "an hresult that would clear the screen and print a verdict: escaped",
     .trace = Trace(
         kReceipt +
         R"(@"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x1\u001b[2J\nreplay: the same 2 events"}
)"),
     .notes =
         {R"(line 6: a call of DEVOVIZoruze refused with 0x1\u001b[2J\nreplay: the same 2 events, which)"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "a Single past its range and a write-back at 2^64-1: their calls only",
     .trace = Trace(
         Call(Created(Result(R"("result":{"type":"Single","value":3.5e38})"))) +
         Call(Created(Result(
             R"("written":[{"type":"Long","value":1,"position":18446744073709551615}],"result":{"type":"Empty","value":null})"))) +
         kReceipt),
     .notes = {"line 3 (and 1 more): /result/value is 3.5e+38, out of the range of Single: "
               "DEVOVIZoruze(#Report) is not replayed"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "a NUL byte between two events on one line",
     .trace = Trace(kReceipt +
                    R"(@"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80020005"})") +
              std::string(1, '\0') +
              Trace(R"(@"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x8002000A"}
)"),
     .notes = {"line 6: not a trace line (a NUL byte at byte 124 (JSON has none)): skipped"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "a Long, an Integer, a help context and an error number past their ranges",
     .trace = Trace(
         Call(Created(Result(R"("result":{"type":"Long","value":4294967297})"))) +
         Call(Created(Result(R"("result":{"type":"Integer","value":70000})"))) +
         Call(Created(Result(
             R"("error":{"number":5,"source":"","description":"","helpfile":"","helpcontext":99999999999})"))) +
         Call(Created(Result(
             R"("error":{"number":18446744073709551615,"source":"","description":"","helpfile":"","helpcontext":0})"))) +
         kReceipt),
     .notes = {"line 3 (and 3 more): /result/value is 4294967297, out of the range of Long "
               "(-2147483648 to 2147483647): DEVOVIZoruze(#Report) is not replayed"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "an id of 2^64-1, process ids of 2^64-1 and -1",
     .trace = Trace(kReceipt +
                    R"(@"event":"host-enter","method":"DEVOVIZoruze","id":18446744073709551615}
)") + R"({"time":"t","pid":18446744073709551615,"thread":9,"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80020005"}
{"time":"t","pid":-1,"thread":9,"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80020005"}
)",
     .notes = {"line 6 (and 2 more): not a trace line (/id: expected a Long): skipped"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "the largest Currency, kept",
     .trace =
         Trace(Call(Created(Result(R"("result":{"type":"Currency","value":922337203685477.6})")))),
     .plan = "call #Report\n",
     .at = "/components/Tabulate.ClsTable/Result/value",
     .value = R"({"type":"Currency","value":922337203685477.6})"},
    {.name = "a field given twice",
     .trace = Trace(
         kReceipt +
         R"(@"event":"host-refused","method":"DEVOVIZoruze","hresult":"0x80004003","hresult":"0x80020005"}
)"),
     .notes = {"line 6: not a trace line (the field \"hresult\" twice): skipped"},
     .plan = "call #ReceiptRoll\n"},
    {.name = "from a pipe, with no pick: read once, so refused",
     .trace = Trace(kReceipt),
     .fifo = true,
     .error = {"choosing the process and thread needs a file"}},
    {.name = "from a pipe, picked: read once",
     .trace = Trace(kReceipt),
     .pick = {7, 9},
     .fifo = true,
     .plan = "call #ReceiptRoll\n"},
    {.name = "nothing replayable: the lines skipped are still named",
     .trace = "<html>\n" + Trace(R"(@"event":"create","progid":"Tabulate.ClsTable"}
)"),
     .error = {"no host call at all"},
     .notes = {"line 1: not a trace line (not JSON): skipped"}},
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class ConversionTest : public ::testing::TestWithParam<Row> {};

TEST_P(ConversionTest, ConvertsWhatIsReadableAndNamesTheRest) {
  const Row& row = GetParam();
  const std::string path = ::testing::TempDir() + "replay-" + std::to_string(getpid()) + ".jsonl";
  std::thread writer;
  if (row.fifo) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    writer = std::thread([&] { std::ofstream(path, std::ios::binary) << row.trace; });
  } else {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.seekp(static_cast<std::streamoff>(row.hole));
    file << row.trace;
  }
  Options options;
  options.pick = row.pick;
  options.max_calls = row.max_calls;
  std::ostringstream expect;
  const Conversion conversion = Convert(path, options, expect);
  if (row.fifo) {
    // A writer still waiting for its reader is let go.
    const int unblock = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    close(unblock);
  }
  std::remove(path.c_str());

  std::string notes;
  for (const std::string& note : conversion.notes)
    notes += note + "\n";
  // Whatever the trace holds, what is said has no control character.
  EXPECT_EQ((notes + conversion.error).find_first_of(kControls), std::string::npos) << notes;
  for (const char* note : row.notes)
    EXPECT_NE(notes.find(WithIds(note)), std::string::npos) << "missing: " << note << "\nnotes:\n"
                                                            << notes;
  EXPECT_EQ(conversion.notes.size(), row.notes.size()) << notes;
  if (!row.error.empty()) {
    EXPECT_FALSE(conversion.ok);
    for (const char* error : row.error)
      EXPECT_NE(conversion.error.find(WithIds(error)), std::string::npos) << conversion.error;
    return;
  }
  ASSERT_TRUE(conversion.ok) << conversion.error;

  std::string plan;
  for (const std::string& step : conversion.plan)
    plan += step + "\n";
  EXPECT_EQ(plan, WithIds(row.plan));
  // Every line to repeat is a trace line as read, unknown fields left out.
  size_t lines = 0;
  std::istringstream expected(expect.str());
  for (std::string line; std::getline(expected, line); ++lines) {
    const auto event = nlohmann::json::parse(line);
    EXPECT_TRUE(event.contains("event") && !event.contains("elapsed")) << line;
  }
  EXPECT_EQ(lines, conversion.events);

  const auto json = refsuite::ScenarioJson(conversion.scenario);
  EXPECT_NO_THROW(refsuite::ParseScenario(json.dump(), "converted", {}));
  if (row.at && row.value) {
    EXPECT_EQ(json.at(refsuite::OrderedJson::json_pointer(row.at)),
              refsuite::OrderedJson::parse(row.value));
  } else if (row.at) {
    EXPECT_FALSE(json.contains(refsuite::OrderedJson::json_pointer(row.at))) << json.dump();
  }
  // A file of gigabytes is read past, never held.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 512L << 10) << "KiB at most";
}

INSTANTIATE_TEST_SUITE_P(Rows,
                         ConversionTest,
                         ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& param) {
                           std::string name;
                           for (const char* c = param.param.name; *c; ++c)
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return name;
                         });

// The session, the rights, the language and the phrases are where a reader
// looks for them, and the cut text is filled to its whole length.
TEST(ConversionScenario, PutsTheStoreDayWhereTheSuiteAnswersIt) {
  const std::string path = ::testing::TempDir() + "replay-day-" + std::to_string(getpid());
  std::ofstream(path) << kStoreDay;
  std::ostringstream expect;
  const Conversion conversion = Convert(path, {}, expect);
  std::remove(path.c_str());
  ASSERT_TRUE(conversion.ok) << conversion.error;
  const auto json = refsuite::ScenarioJson(conversion.scenario);
  EXPECT_EQ(json["language"], "ENG");
  EXPECT_EQ(json["rights"], refsuite::OrderedJson::parse(R"({"2812": false, "*": true})"));
  EXPECT_EQ(json["phrases"],
            refsuite::OrderedJson::parse(R"({"ENG": {"日结完成": "Day closed"}})"));
  EXPECT_EQ(json["session"]["PropsString"], kProps + std::string(44, '~'));
  EXPECT_FALSE(json["components"].contains("CtxStore.SessionBag")) << json.dump();
}

// The suite reads the scenario of a long store day in linear time: one
// member answering 100,000 calls each its own way.
TEST(ScenarioReadBack, ReadsAHundredThousandRulesInUnderASecond) {
  refsuite::Scenario scenario;
  refsuite::MemberScript& script = scenario.components[u"TABULATE.CLSTABLE"][u"RESULT"];
  for (int i = 1; i <= 100000; ++i) {
    refsuite::Rule rule;
    rule.nth_overall = i;
    rule.answer.value.emplace().plain = wb::Variant::Long(i);
    script.when.push_back(std::move(rule));
  }
  const std::string text = refsuite::ScenarioJson(scenario).dump(2);
  // The processor's time, which a busy machine does not stretch.
  const auto cpu_seconds = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
  };
  const double start = cpu_seconds();
  const refsuite::Scenario read = refsuite::ParseScenario(text, "day.json", {});
  const double took = cpu_seconds() - start;
  EXPECT_EQ(read.components.at(u"TABULATE.CLSTABLE").at(u"RESULT").when.size(), 100000u);
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(took, 5.0);  // ASan's own cost
#else
  EXPECT_LT(took, 1.0);
#endif
  std::printf("100,000 rules read in %.2f s of processor time\n", took);
}

// The scenario's reader and writer refuse what nests past their depth, and
// do not recurse on it.
TEST(ScenarioReadBack, StaysShallowAtAnyDepth) {
  std::string deep = R"({"components": {"Tabulate.ClsTable": {"Result": {"value": )";
  for (int i = 0; i < 100000; ++i)
    deep += R"({"type": "Object", "default": )";
  deep += "1" + std::string(100000, '}') + "}}}}";
  EXPECT_THROW(
      {
        try {
          refsuite::ParseScenario(deep, "deep.json", {});
        } catch (const refsuite::ScenarioError& e) {
          EXPECT_STREQ(e.what(), "deep.json:1: nested deeper than 64 levels");
          throw;
        }
      },
      refsuite::ScenarioError);

  refsuite::ScriptedValue chain;
  for (int i = 0; i < 1000; ++i) {
    refsuite::ScriptedValue object;
    object.shape = refsuite::ScriptedValue::Shape::kObject;
    object.default_value = std::make_shared<refsuite::ScriptedValue>(std::move(chain));
    chain = std::move(object);
  }
  refsuite::Scenario scenario;
  scenario.session[u"Deep"] = chain;
  EXPECT_THROW(refsuite::ScenarioJson(scenario), refsuite::ScenarioError);
}

}  // namespace
}  // namespace replay
