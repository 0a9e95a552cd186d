// Reading scenario files: problems are reported with the file, the line and
// what is wrong, and a bad scenario makes every creation fail with it.
#include <cstdio>
#include <fstream>

#include <unistd.h>

#include "core/text.h"
#include "refsuite/scenario_json.h"
#include "refsuite/test_support.h"

namespace refsuite::testing {
namespace {

using ScenarioTest = RefSuiteTest;

std::string ProblemOf(const std::string& text, const std::string& name = "case.json") {
  try {
    LoadScenarioText(text, name);
  } catch (const ScenarioError& e) {
    return e.what();
  }
  ADD_FAILURE() << "scenario accepted: " << text;
  return {};
}

TEST_F(ScenarioTest, SyntaxErrorNamesFileAndLine) {
  const std::string problem =
      ProblemOf("{\n  \"language\": \"ENG\",\n  \"rights\": {\"2812\": tru }\n}");
  EXPECT_EQ(problem.rfind("case.json:3: ", 0), 0u) << problem;
  EXPECT_NE(problem.find("syntax error"), std::string::npos) << problem;
}

TEST_F(ScenarioTest, UnknownKeyIsReportedOnItsLine) {
  const std::string problem = ProblemOf("{\n  \"language\": \"CHS\",\n\n  \"sesion\": {}\n}");
  EXPECT_EQ(problem.rfind("case.json:4: /sesion: unknown key \"sesion\"", 0), 0u) << problem;
}

TEST_F(ScenarioTest, WrongTypeDeepInsideNamesThePlace) {
  const std::string text = R"({
  "components": {
    "Finder.OneRecordPick": {
      "Show": {
        "raise": {
          "number": "many",
          "source": "Finder"
        }
      }
    }
  }
})";
  const std::string problem = ProblemOf(text);
  EXPECT_EQ(problem.rfind("case.json:6: /components/Finder.OneRecordPick/Show/raise/number: ", 0),
            0u)
      << problem;
}

TEST_F(ScenarioTest, ProblemsInArraysAndValuesAreLocated) {
  EXPECT_EQ(ProblemOf("{\"uncreatable\": [\n \"Loyalty.CPlan\",\n \"Loyalty.CPlanet\"\n]}")
                .rfind("case.json:3: /uncreatable/1: \"Loyalty.CPlanet\" is not a component", 0),
            0u);
  EXPECT_EQ(ProblemOf("{\"session\": {\n\"UserName\": {\"type\": \"Integer\", \"value\": 40000}}}")
                .rfind("case.json:2: /session/UserName/value: number out of range", 0),
            0u);
  EXPECT_EQ(ProblemOf("{\"rights\": {\"all\": true}}").rfind("case.json:1: /rights/all: ", 0), 0u);
  // A number read to its end (the parser looks one character past it).
  EXPECT_EQ(
      ProblemOf("{\"uncreatable\": [\n 5\n,\n\"x\"]}").rfind("case.json:2: /uncreatable/0: ", 0),
      0u);
  EXPECT_EQ(ProblemOf("{\"uncreatable\": [\"Loyalty.CPlan\",\n {\"progid\": \"Loyalty.CPlan\",\n  "
                      "\"raise\": {}}]}")
                .rfind("case.json:3: /uncreatable/1/raise: \"number\" is required", 0),
            0u);
  EXPECT_EQ(ProblemOf("[1, 2]").rfind("case.json:1: a scenario is a JSON object", 0), 0u);
  EXPECT_NE(
      ProblemOf(
          R"({"components": {"Loyalty.CPlan": {"Show": {"value": 1, "raise": {"number": 5}}}}})")
          .find("not both"),
      std::string::npos);
  EXPECT_NE(ProblemOf(R"({"components": {"Loyalty.CPlan": {"Show": {"writeback": {"0": 1}}}}})")
                .find("/writeback/0"),
            std::string::npos);
  EXPECT_NE(ProblemOf(R"({"session": {"UserName": {"type": "Any"}}})").find("only for argument"),
            std::string::npos);
}

TEST_F(ScenarioTest, BadScenarioFailsEveryCreationUntilReset) {
  EXPECT_THROW(LoadScenarioText("{\"language\": 5}", "day.json"), ScenarioError);
  const wb::ErrRecord error = wb::CaptureError([] { wb::CreateObject(u"Loyalty.CPlan"); });
  EXPECT_EQ(error.number, 429);
  EXPECT_EQ(error.source, u"RefSuite");
  EXPECT_EQ(wb::ToUtf8(error.description), "day.json:1: /language: expected a string");
  ASSERT_EQ(EntriesOf("create-failed").size(), 1u);

  ResetScenario();
  EXPECT_FALSE(wb::CreateObject(u"Loyalty.CPlan").IsNothing());
}

TEST_F(ScenarioTest, FilesAreReadAndTheirPathIsInProblems) {
  const std::string path = ::testing::TempDir() + "refsuite_scenario_test.json";
  {
    std::ofstream out(path);
    out << "{\n  \"language\": \"ENG\",\n  \"phrases\": {\"ENG\": {\"x\": 1}}\n}\n";
  }
  try {
    LoadScenarioFile(path);
    ADD_FAILURE() << "accepted";
  } catch (const ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()), path + ":3: /phrases/ENG/x: expected a string");
  }
  {
    std::ofstream out(path);
    out << "{\"language\": \"ENG\"}";
  }
  LoadScenarioFile(path);
  EXPECT_EQ(wb::GetMember(wb::CreateObject(u"Polyglot.LocaleState"), u"CurrentLanguage"),
            wb::Variant::Str(u"ENG"));
  std::remove(path.c_str());

  EXPECT_THROW(LoadScenarioFile(path), ScenarioError);
}

TEST_F(ScenarioTest, ScenarioIsLaidOverTheDefaultUnlessBaseIsNone) {
  LoadScenarioText(R"({"session": {"PropsString": "p"}})");
  auto bag = wb::CreateObject(u"CtxStore.SessionBag");
  auto read = [&](const char16_t* name) {
    wb::Variant pid = wb::Variant::Long(static_cast<int32_t>(getpid()));
    wb::Variant key = wb::Variant::Str(name);
    wb::Args args;
    args.push_back(wb::Arg::Ref(pid));
    args.push_back(wb::Arg::Ref(key));
    return wb::GetMember(bag, u"GetProperty", std::move(args));
  };
  EXPECT_EQ(read(u"PropsString"), wb::Variant::Str(u"p"));
  EXPECT_EQ(read(u"UserName"), wb::Variant::Str(u"店长01"));

  LoadScenarioText(R"({"base": "none", "session": {"PropsString": "p"}})");
  EXPECT_TRUE(read(u"UserName").IsEmpty());
  EXPECT_TRUE(
      wb::GetMember(wb::CreateObject(u"Polyglot.LocaleState"), u"CurrentLanguage").str().empty());
}

// A scenario written back reads as itself: each value keeps its kind, each
// error its five fields and its style.
TEST(ScenarioJsonTest, WritesWhatItReadsBackTheSame) {
  const struct {
    const char* written;  // a session value, or with "raise:" a member's error
    const char* expected;
  } rows[] = {
      {"5", "5"},
      {R"({"type": "Integer", "value": -5})", R"({"type": "Integer", "value": -5})"},
      {"2.5", R"({"type": "Double", "value": 2.5})"},
      {R"({"type": "Currency", "value": 1.2345})", R"({"type": "Currency", "value": 1.2345})"},
      {R"({"type": "Date", "value": 46000.5})", R"({"type": "Date", "value": 46000.5})"},
      {R"({"type": "Missing"})", R"({"type": "Missing"})"},
      {R"({"type": "Error", "value": 7})", R"({"type": "Error", "value": 7})"},
      {R"({"type": "Object", "default": "p=1"})", R"({"type": "Object", "default": "p=1"})"},
      {R"({"type": "Array"})", R"({"type": "Array"})"},
      {"null", "null"},
      {R"({"type": "Empty"})", R"({"type": "Empty"})"},
      {R"(raise:{"number": "0x80004005", "style": "hresult"})",
       R"({"number": "0x80004005", "source": "", "description": "", "helpfile": "",
           "helpcontext": 0, "style": "hresult"})"},
      {R"(raise:{"number": 1001, "source": "S", "helpcontext": 4})",
       R"({"number": 1001, "source": "S", "description": "", "helpfile": "", "helpcontext": 4})"},
  };
  for (const auto& row : rows) {
    const std::string_view written = row.written;
    const bool raise = written.starts_with("raise:");
    const std::string text = raise ? R"({"components": {"loyalty.cplan": {"show": {"raise": )" +
                                         std::string(written.substr(6)) + "}}}}"
                                   : R"({"session": {"v": )" + std::string(written) + "}}";
    const OrderedJson once = ScenarioJson(ParseScenario(text, "case.json", {}));
    const OrderedJson& value =
        raise ? once["components"]["Loyalty.CPlan"]["Show"]["raise"] : once["session"]["v"];
    EXPECT_EQ(value, OrderedJson::parse(row.expected)) << row.written;
    EXPECT_EQ(ScenarioJson(ParseScenario(once.dump(), "again.json", {})), once) << row.written;
  }
}

}  // namespace
}  // namespace refsuite::testing
