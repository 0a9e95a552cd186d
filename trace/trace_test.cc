// The field trace: its lines against the reference suite's journal, its texts
// whatever they hold, and a trace that is off or cannot write.
#include "trace/trace.h"
#include "tests/support/configure_trace.h"

#include "trace/trace_file.h"
#include "trace/trace_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/bridge.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/trap.h"
#include "entry/dispatch.h"
#include "refsuite/native.h"

namespace wb::trace {
namespace {

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    refsuite::InstallNative();
    refsuite::ResetScenario();
    refsuite::ClearJournal();
    TeardownThreadState();
    Err::Clear();
    path_ = ::testing::TempDir() + "workbench-trace-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jsonl";
    std::remove(path_.c_str());
  }
  void TearDown() override {
    ConfigureForTesting("");
    std::remove(path_.c_str());
    TeardownThreadState();
    EXPECT_EQ(refsuite::TotalLive(), 0) << "a component instance was not released";
    refsuite::ResetScenario();
  }

  // Every line, parsed strictly (a line that is no valid JSON fails here).
  std::vector<nlohmann::json> Lines() const {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path_);
    for (std::string line; std::getline(file, line);)
      lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  std::string path_;
};

// What the trace and the suite's journal both record of each interaction.
nlohmann::json Shared(const nlohmann::json& entry) {
  nlohmann::json out;
  for (const char* key : {"event", "progid", "member", "args", "written", "result", "error"}) {
    if (entry.contains(key))
      out[key] = entry[key];
  }
  return out;
}

TEST_F(TraceTest, RecordsEachInteractionAsTheSuiteSawIt) {
  refsuite::LoadScenarioText(R"({"components": {
      "Finder.OneRecordPick": {"Show": {"raise": {"number": 1001, "source": "Finder.OneRecordPick",
          "description": "会员资料库无法连接", "helpfile": "finder.chm", "helpcontext": 42}}},
      "CtxStore.SessionBag": {"GetProperty": {"writeback": {"2": "changed"}}}},
      "uncreatable": ["Loyalty.CPlan"]})");
  ConfigureForTesting(path_);
  {
    const ObjectRef finder = CreateObject(u"Finder.OneRecordPick");
    LetMember(finder, u"ClassTypeID", Variant::Long(1005001));
    const ObjectRef bag = CreateObject(u"CtxStore.SessionBag");
    Variant pid = Variant::Long(4242), name = Variant::Str(u"UserName");
    GetMember(bag, u"GetProperty", {Arg::Ref(pid), Arg::Ref(name)});
    // Another component as an argument: the suite gets its own instance.
    CaptureError([&] { CallMember(finder, u"Show", {Arg::Val(Variant::Object(bag))}); });
    CaptureError([] { CreateObject(u"Loyalty.CPlan"); });
  }
  const int32_t id = entry::kMemberLookup;
  HostEnter(u"DEVOVIZoruze", &id);
  HostLeave(u"DEVOVIZoruze", &id, ErrRecord{1001, u"Finder", u"d", u"f.chm", 42});
  HostRefused(u"DEVOVIZoruze", static_cast<int32_t>(0x80020005));
  Notice(u"青禾提示", u"您没有设置机构的权限!", 48);
  ConfigureForTesting("");

  std::vector<nlohmann::json> components, others;
  for (const nlohmann::json& line : Lines()) {
    EXPECT_TRUE(line.contains("time") && line.contains("thread") && line.contains("pid")) << line;
    const std::string event = line["event"];
    if (event == "notice" || event.rfind("host-", 0) == 0)
      others.push_back(line);
    else
      components.push_back(Shared(line));
  }
  std::vector<nlohmann::json> journal;
  for (const nlohmann::json& entry : refsuite::Journal()) {
    // An object argument is named by its ProgID; the suite adds its instance.
    nlohmann::json shared = Shared(entry);
    for (auto& arg : shared["args"])
      if (arg["type"] == "Object")
        arg["value"].erase("instance");
    if (shared["args"].is_null())
      shared.erase("args");
    journal.push_back(shared);
  }
  EXPECT_EQ(components, journal);
  ASSERT_EQ(others.size(), 4u);
  EXPECT_EQ(others[0]["id"], id);
  EXPECT_EQ(others[1]["outcome"], "error");
  EXPECT_EQ(others[1]["error"]["helpcontext"], 42);
  EXPECT_EQ(others[2]["hresult"], "0x80020005");
  EXPECT_EQ(others[3]["text"], "您没有设置机构的权限!");
  EXPECT_EQ(others[3]["icon"], "exclamation");
}

TEST_F(TraceTest, WritesEveryTextAsValidJsonAndCutsLongOnes) {
  const String high(1, char16_t{0xD800}), low(1, char16_t{0xDC00});
  const struct {
    String text;
    std::string traced;  // as parsed back
    int length;          // "text_length", 0: not cut
  } rows[] = {
      {u"quote\" back\\ slash/", "quote\" back\\ slash/", 0},
      {String(u"ctl\x01\b\f\n\r\t\x1f\x7f\0end", 15),
       std::string("ctl\x01\b\f\n\r\t\x1f\x7f\0end", 15), 0},
      {high + u"lone" + low, "\xEF\xBF\xBDlone\xEF\xBF\xBD", 0},
      {u"中文 \U0001F600", "中文 \xF0\x9F\x98\x80", 0},
      {String(256, u'y'), std::string(256, 'y'), 0},
      {String(300, u'x'), std::string(256, 'x'), 300},
      // Never cut inside a surrogate pair.
      {String(255, u'x') + u"\U0001F600", std::string(255, 'x'), 257},
  };
  ConfigureForTesting(path_);
  for (const auto& row : rows)
    Notice(u"t", row.text, 0);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), std::size(rows));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["text"], rows[i].traced) << i;
    EXPECT_EQ(lines[i].value("text_length", 0), rows[i].length) << i;
  }

  refsuite::LoadScenarioText(R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {"number": 9,
      "description": ")" + std::string(300, 'd') +
                             R"("}}}}})");
  CaptureError([] { CallMember(CreateObject(u"Loyalty.CPlan"), u"Show"); });
  const auto show = Lines().at(std::size(rows) + 1);
  EXPECT_EQ(show["error"]["description"], std::string(256, 'd'));
  EXPECT_EQ(show["error"]["description_length"], 300);
}

TEST_F(TraceTest, OffOrUnwritableItChangesNothing) {
  refsuite::LoadScenarioText(R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {"number": 9,
      "source": "Plan", "description": "d"}}}}})");
  const auto call = [] { CallMember(CreateObject(u"Loyalty.CPlan"), u"Show"); };
  const ErrRecord untraced = CaptureError(call);
  for (const std::string& path : {std::string(), ::testing::TempDir() + "no/such/dir/t.jsonl"}) {
    ConfigureForTesting(path);
    EXPECT_FALSE(Enabled()) << path;
    EXPECT_EQ(CaptureError(call), untraced) << path;
  }
  ConfigureForTesting(path_);
  EXPECT_EQ(CaptureError(call), untraced);
  EXPECT_FALSE(Lines().empty());
}

}  // namespace
}  // namespace wb::trace

namespace wb::trace {
namespace {

TEST_F(TraceTest, StopsWithOneLastLineAtItsLimitAndNeverWritesOntoATornLine) {
  const auto call = [] {
    CaptureError([] { CallMember(CreateObject(u"Loyalty.CPlan"), u"Show"); });
  };
  const auto text = [this] {
    std::ifstream file(path_);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  ConfigureForTesting(path_);
  call();
  const size_t per_call = Lines().size(), one_call = text().size();
  const struct {
    std::string before;  // the file as the process finds it
    uint64_t limit;
    std::string after;  // the events appended, one letter each (f: trace-full)
  } rows[] = {
      {"", one_call + 10, std::string(per_call, '.') + "f"},
      {"", 9 * one_call, std::string(3 * per_call, '.')},
      {std::string(200, 'x') + "\n", 200, ""},
      {"{\"event\": \"torn", 9 * one_call, "\n" + std::string(3 * per_call, '.')},
  };
  for (const auto& row : rows) {
    std::ofstream(path_) << row.before;
    ConfigureForTesting(path_, row.limit);
    for (int i = 0; i < 3; ++i)
      call();
    const std::string all = text();
    ASSERT_TRUE(all.starts_with(row.before)) << row.before;
    std::string events =
        all.size() > row.before.size() && all[row.before.size()] == '\n' ? "\n" : "";
    std::istringstream lines(all.substr(row.before.size() + events.size()));
    for (std::string line; std::getline(lines, line);)
      events += nlohmann::json::parse(line)["event"] == "trace-full" ? 'f' : '.';
    EXPECT_EQ(events, row.after) << row.before << " " << row.limit;
  }
}

// Two processes trace to one file with a small limit: the size check and the
// line it allows are one step for both, so one trace-full line ends the file.
TEST_F(TraceTest, OneLimitForEveryProcessThatTracesToTheFile) {
  for (int round = 0; round < 5; ++round) {
    std::remove(path_.c_str());
    ConfigureForTesting(path_, 4000);
    const pid_t child = ::fork();
    for (int i = 0; i < 30; ++i)
      CaptureError([] { CallMember(CreateObject(u"Loyalty.CPlan"), u"Show"); });
    if (child == 0)
      ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::string events;
    for (const nlohmann::json& line : Lines())
      events += line["event"] == "trace-full" ? 'f' : '.';
    EXPECT_TRUE(events.ends_with('f') && events.find('f') == events.size() - 1) << events;
  }
  // While another process holds the writers' byte, a line waits a while,
  // then the trace stops: nothing is written, and the call goes on.
  std::remove(path_.c_str());
  ConfigureForTesting(path_);
  int held[2], done[2];
  ASSERT_EQ(::pipe(held) | ::pipe(done), 0);
  if (::fork() == 0) {
    struct flock byte {};
    byte.l_type = F_WRLCK;
    byte.l_start = off_t{1} << 62;
    byte.l_len = 1;
    char c = ::fcntl(::open(path_.c_str(), O_RDWR), F_SETLK, &byte) == 0 ? 'y' : 'n';
    ::_exit(::write(held[1], &c, 1) == 1 && ::read(done[0], &c, 1) == 1 ? 0 : 1);
  }
  char locked = 0;
  ASSERT_EQ(::read(held[0], &locked, 1), 1);
  CaptureError([] { CallMember(CreateObject(u"Loyalty.CPlan"), u"Show"); });
  EXPECT_EQ(::write(done[1], "x", 1), 1);
  EXPECT_TRUE(locked == 'y' && !Enabled() && Lines().empty()) << locked;
}

TEST_F(TraceTest, RefusesEveryNameThatIsNoLocalFileByItsTextAlone) {
  const std::pair<std::u16string_view, PathProblem> rows[] = {
      {u"C:\\Temp\\trace.jsonl", PathProblem::kNone},
      {u"c:/temp/trace.jsonl", PathProblem::kNone},
      {u"\\\\?\\C:\\Temp\\trace.jsonl", PathProblem::kNone},
      {u"C:\\Temp\\console.log", PathProblem::kNone},
      {u"C:\\Temp\\com10.jsonl", PathProblem::kNone},
      {u"trace.jsonl", PathProblem::kRelative},
      {u"logs\\trace.jsonl", PathProblem::kRelative},
      {u"C:trace.jsonl", PathProblem::kRelative},
      {u"\\trace.jsonl", PathProblem::kRelative},
      {u"", PathProblem::kRelative},
      {u"\\\\server\\share\\trace.jsonl", PathProblem::kShare},
      {u"//server/share/trace.jsonl", PathProblem::kShare},
      {u"\\\\?\\UNC\\server\\share\\trace.jsonl", PathProblem::kShare},
      {u"\\\\.\\pipe\\workbench", PathProblem::kNamespace},
      {u"\\\\.\\C:\\trace.jsonl", PathProblem::kNamespace},
      {u"\\\\?\\GLOBALROOT\\Device\\Null", PathProblem::kNamespace},
      {u"\\??\\C:\\trace.jsonl", PathProblem::kNamespace},
      {u"COM1", PathProblem::kRelative},
      {u"C:\\Temp\\COM1", PathProblem::kDevice},
      {u"C:\\Temp\\lpt1.jsonl", PathProblem::kDevice},
      {u"C:\\Temp\\nul", PathProblem::kDevice},
      {u"C:\\Temp\\Con .txt", PathProblem::kDevice},
      {u"C:\\Temp\\CONOUT$", PathProblem::kDevice},
      {u"C:\\Temp\\com\u00B9", PathProblem::kDevice},
      {u"C:\\aux\\trace.jsonl", PathProblem::kDevice},
      {u"C:\\Temp\\trace.jsonl:hidden", PathProblem::kBadName},
      {u"C:\\Temp\\*.jsonl", PathProblem::kBadName},
      {u"C:\\Temp\\", PathProblem::kBadName},
      {u"C:\\Temp\\tr\nace", PathProblem::kBadName},
  };
  for (const auto& [path, problem] : rows)
    EXPECT_EQ(CheckTracePath(path), problem) << ToUtf8(String(path));
}

}  // namespace
}  // namespace wb::trace
