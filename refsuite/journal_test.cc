// The journal: kinds, arguments with their types, outcomes, live counts, and
// the JSON-lines file.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

#include "core/text.h"
#include "refsuite/test_support.h"

namespace refsuite::testing {
namespace {

using nlohmann::json;
using wb::Variant;

using JournalTest = RefSuiteTest;

json Arg(const char* type, json value, bool byref = false) {
  return {{"type", type}, {"value", std::move(value)}, {"byref", byref}};
}

TEST_F(JournalTest, MemberLookupIsJournaledInOrderWithKindsAndTypes) {
  {
    auto pick = wb::CreateObject(u"Finder.OneRecordPick");
    wb::LetMember(pick, u"ClassTypeID", Variant::Long(1005001));
    wb::LetMember(pick, u"classTypeFilter", Variant::Str(u" FBillTypeID=1 AND FID>0 "));
    wb::LetMember(pick, u"ShowType", Variant::Integer(0));
    wb::CallMember(pick, u"show");
    wb::GetMember(pick, u"ShowType");
  }
  const auto entries = Journal();
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0]["event"], "create");
  EXPECT_EQ(entries[0]["progid"], "Finder.OneRecordPick");
  EXPECT_EQ(entries[0]["live"], 1);
  const int id = entries[0]["instance"];
  const char* events[] = {"let", "let", "let", "call", "get"};
  const char* members[] = {"ClassTypeID", "classTypeFilter", "ShowType", "show", "ShowType"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(entries[i + 1]["event"], events[i]);
    EXPECT_EQ(entries[i + 1]["member"], members[i]);
    EXPECT_EQ(entries[i + 1]["instance"], id);
  }
  EXPECT_EQ(entries[1]["args"], json::array({Arg("Long", 1005001)}));
  EXPECT_EQ(entries[2]["args"], json::array({Arg("String", " FBillTypeID=1 AND FID>0 ")}));
  EXPECT_EQ(entries[3]["args"], json::array({Arg("Integer", 0)}));
  EXPECT_EQ(entries[4]["result"], (json{{"type", "Empty"}, {"value", nullptr}}));
  EXPECT_EQ(entries[5]["result"], (json{{"type", "Integer"}, {"value", 0}}));
  EXPECT_EQ(entries[6]["event"], "release");
  EXPECT_EQ(entries[6]["instance"], id);
  EXPECT_EQ(entries[6]["live"], 0);
}

TEST_F(JournalTest, ByReferenceArgumentsAndWriteBacks) {
  LoadScenarioText(R"({"components": {"DayClose.CDayCloseRun": {"ShowReckoning": {
      "writeback": {"2": false}}}}})");
  auto day_end = wb::CreateObject(u"DayClose.CDayCloseRun");
  Variant code = Variant::Str(u"RUBO");
  Variant reverse = Variant::Bool(true);
  wb::Args args;
  args.push_back(wb::Arg::Ref(code));
  args.push_back(wb::Arg::Ref(reverse));
  wb::GetMember(day_end, u"ShowReckoning", std::move(args));
  const auto calls = EntriesOf("get");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0]["args"],
            json::array({Arg("String", "RUBO", true), Arg("Boolean", true, true)}));
  EXPECT_EQ(calls[0]["written"],
            json::array({json{{"type", "Boolean"}, {"value", false}, {"position", 2}}}));
  EXPECT_EQ(calls[0]["result"], (json{{"type", "Boolean"}, {"value", true}}));
}

TEST_F(JournalTest, ErrorsAndSuiteObjectsAreJournaled) {
  LoadScenarioText(R"({"components": {"SheetShow.CPresenter": {"ReportShow": {"raise": {
      "number": 9, "source": "S", "description": "D", "helpfile": "H", "helpcontext": 3}}}}})");
  auto report = wb::CreateObject(u"Tabulate.ClsTable");
  auto viewer = wb::CreateObject(u"SheetShow.CPresenter");
  Variant arg = Variant::Object(report);
  wb::Args args;
  args.push_back(wb::Arg::Ref(arg));
  EXPECT_NE(
      wb::CaptureError([&] { wb::CallMember(viewer, u"ReportShow", std::move(args)); }).number, 0);
  const auto calls = EntriesOf("call");
  ASSERT_EQ(calls.size(), 1u);
  const json& object = calls[0]["args"][0];
  EXPECT_EQ(object["type"], "Object");
  EXPECT_EQ(object["value"]["progid"], "Tabulate.ClsTable");
  EXPECT_EQ(object["value"]["instance"], EntriesOf("create")[0]["instance"]);
  EXPECT_EQ(calls[0]["error"], (json{{"number", 9},
                                     {"source", "S"},
                                     {"description", "D"},
                                     {"helpfile", "H"},
                                     {"helpcontext", 3}}));
  EXPECT_FALSE(calls[0].contains("result"));

  EXPECT_NE(wb::CaptureError([&] { wb::CallMember(viewer, u"NoSuchThing"); }).number, 0);
  EXPECT_EQ(EntriesOf("call").back()["error"]["number"], 438);
}

TEST_F(JournalTest, LiveCountsFollowEveryReference) {
  auto first = wb::CreateObject(u"Loyalty.CPlan");
  auto second = wb::CreateObject(u"loyalty.cplan");
  wb::ObjectRef copy = first;
  EXPECT_EQ(LiveCount("Loyalty.CPlan"), 2);
  EXPECT_EQ(TotalLive(), 2);
  first.Reset();
  EXPECT_EQ(LiveCount("LOYALTY.CPLAN"), 2);  // the copy still holds it
  copy.Reset();
  EXPECT_EQ(LiveCount("Loyalty.CPlan"), 1);
  EXPECT_EQ(EntriesOf("release").back()["live"], 1);
  second.Reset();
  EXPECT_EQ(TotalLive(), 0);
  ClearJournal();
  EXPECT_TRUE(Journal().empty());
}

TEST_F(JournalTest, FileGetsOneJsonLinePerEntry) {
  const std::string path = ::testing::TempDir() + "refsuite_journal_test.jsonl";
  std::remove(path.c_str());
  setenv("WB_SUITE_JOURNAL", path.c_str(), 1);
  {
    auto keymap = wb::CreateObject(u"TillGuide.CKeyMap");
    wb::CallMember(keymap, u"ShowHELP", {});
    wb::Args args;
    args.push_back(wb::Arg::Val(Variant::Str(u"中文\u0001")));
    wb::CallMember(keymap, u"ShowHELP", std::move(args));
  }
  unsetenv("WB_SUITE_JOURNAL");
  std::ifstream in(path);
  std::vector<json> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(json::parse(line));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]["event"], "create");
  EXPECT_EQ(lines[2]["args"][0]["value"], "中文\u0001");
  EXPECT_EQ(lines[3]["event"], "release");
  EXPECT_EQ(lines[3]["pid"], static_cast<int>(getpid()));
  EXPECT_EQ(lines, Journal());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace refsuite::testing
