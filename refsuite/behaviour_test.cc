// What the components answer: the defaults of a normal store day and every
// kind of scripted answer.
#include <unistd.h>
#include <set>
#include <thread>

#include "bridge/convert.h"
#include "core/text.h"
#include "refsuite/test_support.h"

namespace refsuite::testing {
namespace {

using wb::Variant;

using DefaultsTest = RefSuiteTest;
using ScriptTest = RefSuiteTest;

wb::Args Vals(std::initializer_list<Variant> values) {
  wb::Args args;
  for (const Variant& v : values)
    args.push_back(wb::Arg::Val(v));
  return args;
}

Variant Session(const char16_t* name, int32_t pid = static_cast<int32_t>(getpid())) {
  Variant pid_var = Variant::Long(pid);
  Variant key = Variant::Str(name);
  wb::Args args;
  args.push_back(wb::Arg::Ref(pid_var));
  args.push_back(wb::Arg::Ref(key));
  return wb::GetObjectOrValue(wb::CreateObject(u"CtxStore.SessionBag"), u"GetProperty",
                              std::move(args));
}

Variant AccessCheck(int32_t func_id) {
  return wb::GetMember(wb::CreateObject(u"Gatekeeper.RightsDesk"), u"AccessCheck",
                       Vals({Variant::Str(u"props"), Variant::Long(func_id), Variant::Long(1),
                             Variant::Long(0x200000)}));
}

TEST_F(DefaultsTest, StoreDayAnswers) {
  EXPECT_EQ(wb::GetMember(wb::CreateObject(u"Polyglot.LocaleState"), u"CurrentLanguage"),
            Variant::Str(u"CHS"));
  EXPECT_EQ(Session(u"UserName"), Variant::Str(u"店长01"));
  EXPECT_TRUE(Session(u"PropsString").IsString());
  EXPECT_TRUE(Session(u"UserName", static_cast<int32_t>(getpid()) + 1).IsEmpty());
  EXPECT_TRUE(Session(u"NoSuchProperty").IsEmpty());
  EXPECT_EQ(AccessCheck(2812), Variant::Bool(true));

  auto day_end = wb::CreateObject(u"DayClose.CDayCloseRun");
  Variant code = Variant::Str(u"RUBO");
  Variant reverse = Variant::Bool(false);
  wb::Args args;
  args.push_back(wb::Arg::Ref(code));
  args.push_back(wb::Arg::Ref(reverse));
  EXPECT_EQ(wb::GetMember(day_end, u"ShowReckoning", std::move(args)), Variant::Bool(true));

  auto report = wb::CreateObject(u"Tabulate.ClsTable");
  EXPECT_EQ(wb::GetMember(report, u"Result", Vals({Variant::Str(u"OK")})), Variant::Bool(true));
  EXPECT_EQ(wb::GetMember(report, u"Result", Vals({Variant::Str(u"Error")})), Variant::Str(u""));
  for (const char16_t* method : {u"ShowFilter", u"GetReportdata"}) {
    EXPECT_TRUE(wb::GetMember(report, method).IsEmpty());
  }
}

TEST_F(DefaultsTest, EveryCalledMemberExists) {
  const std::vector<std::pair<const char16_t*, std::vector<const char16_t*>>> calls = {
      {u"TillGuide.CKeyMap", {u"ShowHELP"}},
      {u"ReceiptRoll.CReceiptRoll", {u"Showform"}},
      {u"Loyalty.CPlan", {u"Show"}},
      {u"Finder.OneRecordPick", {u"Show"}},
      {u"BranchLink.ClsLink", {u"InitSetting"}},
      {u"Loyalty.CPoints", {u"ViewVIPScore"}},
      {u"SheetShow.CPresenter", {u"ReportShow"}},
  };
  for (const auto& [prog_id, methods] : calls) {
    auto object = wb::CreateObject(prog_id);
    for (const char16_t* method : methods) {
      EXPECT_NO_THROW(wb::CallMember(object, method)) << wb::ToUtf8(prog_id);
    }
  }
}

TEST_F(DefaultsTest, StoredPropertiesKeepValueAndKind) {
  auto pick = wb::CreateObject(u"Finder.OneRecordPick");
  EXPECT_TRUE(wb::GetMember(pick, u"ShowType").IsEmpty());
  wb::LetMember(pick, u"ClassTypeID", Variant::Long(1005001));
  wb::LetMember(pick, u"classTypeFilter", Variant::Str(u" FBillTypeID=1 AND FID>0 "));
  wb::LetMember(pick, u"ShowType", Variant::Integer(0));
  EXPECT_EQ(wb::GetMember(pick, u"CLASSTYPEID"), Variant::Long(1005001));
  EXPECT_EQ(wb::GetMember(pick, u"classtypefilter"), Variant::Str(u" FBillTypeID=1 AND FID>0 "));
  EXPECT_EQ(wb::GetMember(pick, u"ShowType"), Variant::Integer(0));
  // Each instance has its own properties.
  EXPECT_TRUE(wb::GetMember(wb::CreateObject(u"Finder.OneRecordPick"), u"ClassTypeID").IsEmpty());
}

TEST_F(DefaultsTest, CatalogTranslatesInItsLanguage) {
  auto catalog = wb::CreateObject(u"Phrasebook.Catalog");
  EXPECT_EQ(wb::GetMember(catalog, u"ResFileBaseName"), Variant::Str(u""));
  EXPECT_EQ(wb::GetMember(catalog, u"LanguageID"), Variant::Str(u""));
  auto load = [&](const char16_t* key) {
    Variant k = Variant::Str(key);
    wb::Args args;
    args.push_back(wb::Arg::Ref(k));
    return wb::GetMember(catalog, u"LoadString", std::move(args));
  };
  EXPECT_EQ(load(u"日结完成"), Variant::Str(u""));  // no language chosen yet
  wb::LetMember(catalog, u"ResFileBaseName", Variant::Str(u"Q5COM"));
  wb::LetMember(catalog, u"LanguageID", Variant::Str(u"ENG"));
  EXPECT_EQ(wb::GetMember(catalog, u"LanguageID"), Variant::Str(u"ENG"));
  const char16_t* texts[] = {u"调用门店函数出错。原因：",
                             u"您没有设置机构的权限!",
                             u"您没有查询积分的权限",
                             u"青禾提示",
                             u"日结完成",
                             u"反日结完成",
                             u"日结失败",
                             u"反日结失败"};
  for (const char16_t* text : texts) {
    const Variant english = load(text);
    ASSERT_TRUE(english.IsString());
    EXPECT_FALSE(english.str().empty()) << wb::ToUtf8(text);
    EXPECT_LT(english.str()[0], 0x80) << wb::ToUtf8(text);
  }
  EXPECT_EQ(load(u"日结完成 "), Variant::Str(u""));  // keys are exact
  EXPECT_EQ(load(u"nothing like it"), Variant::Str(u""));
}

TEST_F(DefaultsTest, UnknownMembersAndAssignmentsToMethodsRaise438) {
  auto plan = wb::CreateObject(u"Loyalty.CPlan");
  wb::ErrRecord error = wb::CaptureError([&] { wb::CallMember(plan, u"Shows"); });
  EXPECT_EQ(error.number, 438);
  EXPECT_EQ(error.source, u"Workbench");
  EXPECT_EQ(wb::CaptureError([&] { wb::LetMember(plan, u"Show", Variant::Long(1)); }).number, 438);
  EXPECT_EQ(wb::CaptureError([&] { wb::GetMember(plan, u""); }).number, 438);
  // Names match in any letter case.
  EXPECT_NO_THROW(wb::CallMember(plan, u"sHOW"));
}

TEST_F(ScriptTest, RaisesCarryAllFiveFields) {
  LoadScenarioText(R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {
      "number": 1001, "source": "PlanSrc", "description": "计划失败",
      "helpfile": "plan.chm", "helpcontext": 77, "style": "errorinfo"}}}}})");
  auto plan = wb::CreateObject(u"Loyalty.CPlan");
  const wb::ErrRecord error = wb::CaptureError([&] { wb::CallMember(plan, u"Show"); });
  EXPECT_EQ(error, (wb::ErrRecord{1001, u"PlanSrc", u"计划失败", u"plan.chm", 77}));

  LoadScenarioText(
      R"({"components": {"Loyalty.CPlan": {"Show": {"raise": {"number": "0x80004005"}}}}})");
  const wb::ErrRecord bare = wb::CaptureError([&] { wb::CallMember(plan, u"Show"); });
  EXPECT_EQ(bare, (wb::ErrRecord{static_cast<int32_t>(0x80004005), u"", u"", u"", 0}));
}

TEST_F(ScriptTest, MissingMembers) {
  LoadScenarioText(
      R"({"components": {"Finder.OneRecordPick": {"classTypeFilter": {"missing": true}}}})");
  auto pick = wb::CreateObject(u"Finder.OneRecordPick");
  EXPECT_NO_THROW(wb::LetMember(pick, u"ClassTypeID", Variant::Long(1005001)));
  EXPECT_EQ(
      wb::CaptureError([&] { wb::LetMember(pick, u"classTypeFilter", Variant::Str(u"x")); }).number,
      438);
}

TEST_F(ScriptTest, AnswersChosenByArguments) {
  LoadScenarioText(R"({
    "rights": {"2811": false},
    "components": {
      "Tabulate.ClsTable": {"Result": {"when": [
        {"args": ["OK"], "value": false},
        {"args": ["Error"], "value": "报表失败"}]}},
      "Gatekeeper.RightsDesk": {"AccessCheck": {"when": [
        {"args": [{"type": "Any"}, 2812, 1, 2097152], "value": {"type": "Integer", "value": 0}}]}}
    }})");
  auto report = wb::CreateObject(u"Tabulate.ClsTable");
  EXPECT_EQ(wb::GetMember(report, u"Result", Vals({Variant::Str(u"OK")})), Variant::Bool(false));
  EXPECT_EQ(wb::GetMember(report, u"Result", Vals({Variant::Str(u"Error")})),
            Variant::Str(u"报表失败"));
  // No rule matches: the default answer.
  EXPECT_TRUE(wb::GetMember(report, u"Result", Vals({Variant::Str(u"ok")})).IsEmpty());

  EXPECT_EQ(AccessCheck(2812), Variant::Integer(0));
  EXPECT_EQ(AccessCheck(2811), Variant::Bool(false));
  EXPECT_EQ(AccessCheck(1), Variant::Bool(true));
  // Numbers match whatever their kind.
  EXPECT_EQ(wb::GetMember(wb::CreateObject(u"Gatekeeper.RightsDesk"), u"AccessCheck",
                          Vals({Variant::Str(u""), Variant::Integer(2812), Variant::Double(1.0),
                                Variant::Long(2097152)})),
            Variant::Integer(0));
}

TEST_F(ScriptTest, AnswersChosenByCallOrdinal) {
  LoadScenarioText(R"({"components": {
    "Polyglot.LocaleState": {"CurrentLanguage": {"when": [{"nth": 1, "value": ""}]}},
    "CtxStore.SessionBag": {"GetProperty": {"when": [{"nthOverall": 3, "value": "third"}]}}}})");
  auto locale = wb::CreateObject(u"Polyglot.LocaleState");
  EXPECT_EQ(wb::GetMember(locale, u"CurrentLanguage"), Variant::Str(u""));
  EXPECT_EQ(wb::GetMember(locale, u"CurrentLanguage"), Variant::Str(u"CHS"));
  // A new instance counts its own calls.
  EXPECT_EQ(wb::GetMember(wb::CreateObject(u"Polyglot.LocaleState"), u"currentlanguage"),
            Variant::Str(u""));

  // Each session read calls GetProperty twice, each time on a new instance.
  EXPECT_EQ(Session(u"UserName"), Variant::Str(u"店长01"));  // calls 1, 2
  EXPECT_EQ(Session(u"UserName"), Variant::Str(u"店长01"));  // calls 3 (probe), 4
  LoadScenarioText(
      R"({"components": {"CtxStore.SessionBag": {"GetProperty": {"when": [{"nthOverall": 2, "value": "second"}]}}}})");
  EXPECT_EQ(Session(u"UserName"), Variant::Str(u"second"));  // loading restarts the count
}

TEST_F(ScriptTest, RulesCombineArgumentsAndOrdinalAndMayHideTheMember) {
  LoadScenarioText(R"({"components": {"Tabulate.ClsTable": {
      "Result": {"when": [{"args": ["Error"], "nth": 3, "missing": true}]},
      "Extra": {"value": 7}}}})");
  auto report = wb::CreateObject(u"Tabulate.ClsTable");
  EXPECT_TRUE(wb::GetMember(report, u"Result", Vals({Variant::Str(u"OK")})).integral() == -1);
  EXPECT_EQ(wb::GetMember(report, u"Result", Vals({Variant::Str(u"Error")})), Variant::Str(u""));
  EXPECT_EQ(wb::CaptureError([&] {
              wb::GetMember(report, u"Result", Vals({Variant::Str(u"Error")}));
            }).number,
            438);
  EXPECT_EQ(wb::GetMember(report, u"Result", Vals({Variant::Str(u"Error")})), Variant::Str(u""));
  // A member the scenario adds answers its value and accepts assignments.
  EXPECT_EQ(wb::GetMember(report, u"extra"), Variant::Long(7));
  EXPECT_NO_THROW(wb::LetMember(report, u"Extra", Variant::Long(1)));
}

TEST_F(ScriptTest, WriteBackGoesOnlyIntoByReferenceArguments) {
  LoadScenarioText(R"({"components": {"DayClose.CDayCloseRun": {"ShowReckoning": {
      "writeback": {"1": "改过", "2": false}, "value": true}}}})");
  auto day_end = wb::CreateObject(u"DayClose.CDayCloseRun");
  Variant code = Variant::Str(u"RUBO");
  Variant reverse = Variant::Bool(true);
  wb::Args args;
  args.push_back(wb::Arg::Ref(code));
  args.push_back(wb::Arg::Ref(reverse));
  EXPECT_EQ(wb::GetMember(day_end, u"ShowReckoning", std::move(args)), Variant::Bool(true));
  EXPECT_EQ(code, Variant::Str(u"改过"));
  EXPECT_EQ(reverse, Variant::Bool(false));

  Variant kept = Variant::Str(u"RUBO");
  wb::Args by_value = Vals({Variant::Str(u"RUBO")});
  by_value.push_back(wb::Arg::Ref(kept));
  wb::GetMember(day_end, u"ShowReckoning", std::move(by_value));
  EXPECT_EQ(kept, Variant::Bool(false));  // position 2 is by reference here
}

TEST_F(ScriptTest, WriteBackHappensBeforeARaise) {
  LoadScenarioText(R"({"components": {"Phrasebook.Catalog": {"LoadString": {
      "writeback": {"1": "changed"}, "raise": {"number": 5, "description": "no"}}}}})");
  auto catalog = wb::CreateObject(u"Phrasebook.Catalog");
  Variant key = Variant::Str(u"k");
  wb::Args args;
  args.push_back(wb::Arg::Ref(key));
  EXPECT_EQ(
      wb::CaptureError([&] { wb::GetMember(catalog, u"LoadString", std::move(args)); }).number, 5);
  EXPECT_EQ(key, Variant::Str(u"changed"));
}

TEST_F(ScriptTest, UncreatableComponents) {
  LoadScenarioText(R"({"uncreatable": ["Loyalty.CPoints",
      {"progid": "sheetshow.cpresenter", "raise": {"number": 70, "source": "SheetShow", "description": "denied"}}]})");
  const wb::ErrRecord plain = wb::CaptureError([] { wb::CreateObject(u"Loyalty.CPoints"); });
  EXPECT_EQ(plain.number, 429);
  EXPECT_EQ(plain.source, u"Workbench");
  EXPECT_EQ(wb::CaptureError([] { wb::CreateObject(u"SheetShow.CPresenter"); }),
            (wb::ErrRecord{70, u"SheetShow", u"denied", u"", 0}));
  EXPECT_FALSE(wb::CreateObject(u"Loyalty.CPlan").IsNothing());
  const auto failed = EntriesOf("create-failed");
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[1]["progid"], "SheetShow.CPresenter");
  EXPECT_EQ(failed[1]["error"]["number"], 70);
  EXPECT_EQ(LiveCount("Loyalty.CPoints"), 0);
}

TEST_F(ScriptTest, TypedValuesKeepTheirKind) {
  LoadScenarioText(R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [
      {"args": ["int"], "value": {"type": "Integer", "value": -1}},
      {"args": ["empty"], "value": {"type": "Empty"}},
      {"args": ["null"], "value": null},
      {"args": ["big"], "value": 3000000000},
      {"args": ["real"], "value": 2.5},
      {"args": ["array"], "value": {"type": "Array"}},
      {"args": ["nul"], "value": "a\u0000b"},
      {"args": ["long"], "value": {"type": "String", "repeat": "x", "count": 100000}}]}}}})");
  auto report = wb::CreateObject(u"Tabulate.ClsTable");
  auto result = [&](const char16_t* what) {
    return wb::GetMember(report, u"Result", Vals({Variant::Str(what)}));
  };
  EXPECT_EQ(result(u"int"), Variant::Integer(-1));
  EXPECT_TRUE(result(u"empty").IsEmpty());
  EXPECT_TRUE(result(u"null").IsNull());
  EXPECT_EQ(result(u"big"), Variant::Double(3000000000.0));
  EXPECT_EQ(result(u"real"), Variant::Double(2.5));
  EXPECT_EQ(result(u"array").kind(), wb::VarKind::kUnsupported);
  EXPECT_EQ(result(u"nul"), Variant::Str(wb::String(u"a\0b", 3)));
  EXPECT_EQ(result(u"long").str().size(), 100000u);
}

TEST_F(ScriptTest, ObjectAnswersAreLiveObjects) {
  LoadScenarioText(R"({"session": {
      "UserName": {"type": "Object", "default": "经理"},
      "PropsString": {"type": "Object"}}})");
  {
    const Variant user = Session(u"UserName");
    ASSERT_TRUE(user.IsObject());
    EXPECT_EQ(LiveCount("RefSuite.Value"), 1);
    EXPECT_EQ(wb::ToString(user), u"经理");
    const Variant props = Session(u"PropsString");
    ASSERT_TRUE(props.IsObject());
    EXPECT_EQ(wb::CaptureError([&] { wb::ToString(props); }).number, 438);
  }
  EXPECT_EQ(LiveCount("RefSuite.Value"), 0);
}

TEST_F(RefSuiteTest, CreationOnManyThreadsAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < kEach; ++i) {
        auto keymap = wb::CreateObject(u"TillGuide.CKeyMap");
        wb::CallMember(keymap, u"ShowHELP");
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(LiveCount("TillGuide.CKeyMap"), 0);
  std::set<int> ids;
  for (const auto& entry : EntriesOf("create"))
    ids.insert(entry["instance"].get<int>());
  EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(EntriesOf("release").size(), static_cast<size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace refsuite::testing
