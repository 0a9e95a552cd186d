// Answers of every kind where the system expects a text, a Boolean or an
// object: each ends in the runtime's own error (13, 94, 424, 438, 6) or in
// the documented behaviour, with nothing leaked and nothing crashing.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "entry/dispatch.h"
#include "launchers/modpublic.h"
#include "refsuite/native.h"
#include "session/mmts.h"
#include "tests/support/suite_fixture.h"

namespace wb::proof {
namespace {

using testing::U8;

// Answers as the scenario writes them.
constexpr char kNull[] = "null";
constexpr char kArray[] = R"({"type": "Array"})";
constexpr char kBareObject[] = R"({"type": "Object"})";
constexpr char kEmpty[] = R"({"type": "Empty"})";
constexpr char kErrorValue[] = R"({"type": "Error", "value": 5})";
constexpr char kMissing[] = R"({"type": "Missing"})";
constexpr char kMillion[] = R"({"type": "String", "repeat": "x", "count": 1000000})";
constexpr char kWithNuls[] = R"("A\u0000B\u0000")";
constexpr char kHuge[] = "1e300";             // a Double beyond every integer kind
constexpr char kBeyondLong[] = "3000000000";  // a Double just beyond a Long
constexpr char kDate[] = R"({"type": "Date", "value": 45000.75})";
constexpr char kByte255[] = R"({"type": "Byte", "value": 255})";

std::string ObjectWith(const std::string& value) {
  return R"({"type": "Object", "default": )" + value + "}";
}

const String kMillionX(1000000, u'x');
const String kANulBNul(u"A\0B\0", 4);

// The runtime's own texts for the errors that these answers end in.
String RuntimeText(int32_t number) {
  static const auto* texts = new std::map<int32_t, String>{
      {rt::kOverflow, u"Overflow"},
      {rt::kTypeMismatch, u"Type mismatch"},
      {rt::kInvalidUseOfNull, u"Invalid use of Null"},
      {rt::kObjectRequired, u"Object required"},
      {rt::kNoSuchMember, u"Object doesn't support this property or method"}};
  return texts->at(number);
}

ErrRecord Runtime(int32_t number) {
  return {number, u"Workbench", RuntimeText(number), u"", 0};
}

// One answer and what it must come to: a text (or Boolean), or an error.
struct Case {
  const char* label;
  std::string answer;
  std::optional<String> text;  // when the answer converts
  int32_t error = 0;           // the runtime error otherwise
};

class HostileAnswersTest : public testing::SuiteTest {
 protected:
  // A fresh thread state (no cached component) under `scenario`.
  void Fresh(const std::string& scenario) {
    TeardownThreadState();
    EXPECT_EQ(refsuite::TotalLive(), 0) << "left by the case before";
    UseScenario(scenario);
    ForgetCalls();
    notices.clear();
    modpublic::SetNoticeSink([this](const modpublic::Notice& n) { notices.push_back(n); });
    Err::Clear();
  }

  // Every component released, the cached ones with the thread's state.
  void ExpectAllReleased() {
    TeardownThreadState();
    EXPECT_EQ(refsuite::TotalLive(), 0);
  }

  // The first argument that AccessCheck received.
  String PropsSent() const {
    for (const auto& e : JournalEntries()) {
      if (e["event"] == "get" && e["member"] == "AccessCheck") {
        return FromUtf8(e["args"][0]["value"].get<std::string>());
      }
    }
    ADD_FAILURE() << "AccessCheck was not called";
    return {};
  }
};

// ---- Texts ------------------------------------------------------------------------

TEST_F(HostileAnswersTest, LoadStringGivesItsTextOrLeavesTheTextUnchanged) {
  const String text = u"日结完成";
  const Case cases[] = {
      {"Null", kNull, text},
      {"array", kArray, text},
      {"object without a value", kBareObject, text},
      {"object with a text", ObjectWith(R"("Day end")"), u"Day end"},
      {"object with Null", ObjectWith(kNull), text},
      {"object within an object", ObjectWith(ObjectWith(R"("deep")")), u"deep"},
      {"a million characters", kMillion, kMillionX},
      {"embedded NULs", kWithNuls, kANulBNul},
      {"Empty", kEmpty, u"**WaitToBeTranslated**"},
      {"Error value", kErrorValue, text},
      {"missing marker", kMissing, text},
      {"huge Double", kHuge, u"1E+300"},
      {"Double beyond a Long", kBeyondLong, u"3000000000"},
      {"Boolean", "true", u"True"},
      {"Date", kDate, u"2023/3/15 18:00:00"},
  };
  const ErrRecord pending{77, u"Pend", u"pending", u"p.chm", 3};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Fresh(R"({"language": "ENG", "components": {"Phrasebook.Catalog": {"LoadString": {"value": )" +
          c.answer + "}}}}");
    Err::Get() = pending;
    EXPECT_EQ(mmts::TranslateText(text), *c.text);
    EXPECT_EQ(Err::Get(), pending) << "the pending error is left as it was";
    EXPECT_EQ(CallsStartingWith("get Phrasebook.Catalog.LoadString").size(), 1u);
    ExpectAllReleased();
  }
}

TEST_F(HostileAnswersTest, CurrentLanguageGivesACodeOrIsAskedAgain) {
  const String text = u"日结完成";
  // text: the translation of two calls in a row; error: the language could
  // not be read, so each call leaves the text unchanged and asks again.
  const Case cases[] = {
      {"lower case", R"("eng")", u"Day-end completed"},
      {"object with a code", ObjectWith(R"("Eng")"), u"Day-end completed"},
      {"Null", kNull, std::nullopt, rt::kInvalidUseOfNull},
      {"object without a value", kBareObject, std::nullopt, rt::kNoSuchMember},
      {"array", kArray, std::nullopt, rt::kTypeMismatch},
      {"Error value", kErrorValue, std::nullopt, rt::kTypeMismatch},
      // Codes of no language: nothing to look up, so the marker.
      {"a million characters", kMillion, u"**WaitToBeTranslated**"},
      {"CHS with a NUL", R"("CHS\u0000")", u"**WaitToBeTranslated**"},
      {"Boolean", "true", u"**WaitToBeTranslated**"},
      {"huge Double", kHuge, u"**WaitToBeTranslated**"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Fresh(R"({"components": {"Polyglot.LocaleState": {"CurrentLanguage": {"value": )" + c.answer +
          "}}}}");
    const String want = c.text ? *c.text : text;
    EXPECT_EQ(mmts::TranslateText(text), want);
    EXPECT_EQ(mmts::TranslateText(text), want);
    EXPECT_EQ(Err::Number(), 0);
    EXPECT_EQ(CallsStartingWith("get Polyglot.LocaleState.CurrentLanguage").size(),
              c.error ? 2u : 1u);
    EXPECT_EQ(CallsStartingWith("create Polyglot.LocaleState").size(), 1u)
        << "the component is kept";
    ExpectAllReleased();
  }

  // An Empty code is no code: asked again, and meanwhile the loader is asked
  // in no language.
  Fresh(std::string(R"({"components": {"Polyglot.LocaleState": {"CurrentLanguage": {"value": )") +
        kEmpty + "}}}}");
  EXPECT_EQ(mmts::TranslateText(text), u"**WaitToBeTranslated**");
  EXPECT_EQ(mmts::TranslateText(text), u"**WaitToBeTranslated**");
  EXPECT_EQ(CallsStartingWith("get Polyglot.LocaleState.CurrentLanguage").size(), 2u);
  EXPECT_TRUE(CallsStartingWith("let Phrasebook.Catalog.LanguageID").empty());
  ExpectAllReleased();
}

// The session's answers, read twice per property (object or value).
const std::vector<Case>& SessionCases() {
  static const auto* cases = new std::vector<Case>{
      {"Null", kNull, std::nullopt, rt::kInvalidUseOfNull},
      {"array", kArray, std::nullopt, rt::kTypeMismatch},
      {"object without a value", kBareObject, std::nullopt, rt::kNoSuchMember},
      {"object with a text", ObjectWith(R"("店长02")"), u"店长02"},
      {"a million characters", kMillion, kMillionX},
      {"embedded NULs", kWithNuls, kANulBNul},
      {"Empty", kEmpty, u""},
      {"Error value", kErrorValue, std::nullopt, rt::kTypeMismatch},
      {"huge Double", kHuge, u"1E+300"},
      {"Boolean", "true", u"True"},
  };
  return *cases;
}

TEST_F(HostileAnswersTest, SessionUserIsATextOrTheConversionError) {
  for (const Case& c : SessionCases()) {
    SCOPED_TRACE(c.label);
    Fresh(R"({"session": {"UserName": )" + c.answer + "}}");
    String user;
    const ErrRecord error = CaptureError([&] { user = mmts::GetSessionUser(); });
    if (c.error) {
      EXPECT_EQ(error, Runtime(c.error));
    } else {
      EXPECT_EQ(error, ErrRecord{});
      EXPECT_EQ(user, *c.text);
    }
    EXPECT_EQ(CallsStartingWith("get CtxStore.SessionBag.GetProperty").size(), 2u);
    ExpectAllReleased();
  }
}

TEST_F(HostileAnswersTest, AnAnswerThatStopsBeingAnObjectIsObjectRequired) {
  // Asked whether it is an object: yes; fetched as one: a text.
  Fresh(R"({"components": {"CtxStore.SessionBag": {"GetProperty": {
      "when": [{"nth": 1, "value": {"type": "Object", "default": "a"}}], "value": "plain"}}}})");
  EXPECT_EQ(CaptureError([] { mmts::GetSessionUser(); }), Runtime(rt::kObjectRequired));
  ExpectAllReleased();
  // The other way round: the object fetched is read for its value.
  Fresh(R"({"components": {"CtxStore.SessionBag": {"GetProperty": {
      "when": [{"nth": 1, "value": "plain"}], "value": {"type": "Object", "default": "obj"}}}}})");
  EXPECT_EQ(mmts::GetSessionUser(), u"obj");
  ExpectAllReleased();
}

TEST_F(HostileAnswersTest, PropsStringReachesTheRightsDeskOrFailsTheCheck) {
  for (const Case& c : SessionCases()) {
    SCOPED_TRACE(c.label);
    Fresh(R"({"session": {"PropsString": )" + c.answer + "}}");
    const ErrRecord error = CaptureError([] { mmts::CheckAccessRight(2812, 1, 0x200000); });
    if (c.error) {
      EXPECT_EQ(error, (ErrRecord{c.error, u"Err_CheckAccessRight", RuntimeText(c.error), u"", 0}));
      EXPECT_TRUE(CallsStartingWith("get Gatekeeper").empty());
    } else {
      EXPECT_EQ(error, ErrRecord{});
      EXPECT_EQ(PropsSent(), *c.text);
    }
    ExpectAllReleased();
  }
}

// ---- Booleans ---------------------------------------------------------------------

TEST_F(HostileAnswersTest, AccessCheckIsABooleanOrTheConversionErrorUnderTheChecksSource) {
  const Case cases[] = {
      {"Null", kNull, std::nullopt, rt::kInvalidUseOfNull},
      {"array", kArray, std::nullopt, rt::kTypeMismatch},
      {"object without a value", kBareObject, std::nullopt, rt::kNoSuchMember},
      {"object with False", ObjectWith("false"), u"False"},
      {"object with True", ObjectWith("true"), u"True"},
      {"text True", R"(" True ")", u"True"},
      {"text false", R"("false")", u"False"},
      {"text 0", R"("0")", u"False"},
      {"text -1", R"("-1")", u"True"},
      {"text yes", R"("yes")", std::nullopt, rt::kTypeMismatch},
      {"empty text", R"("")", std::nullopt, rt::kTypeMismatch},
      {"Empty", kEmpty, u"False"},
      {"Error value", kErrorValue, std::nullopt, rt::kTypeMismatch},
      {"huge Double", kHuge, u"True"},
      {"Double beyond a Long", kBeyondLong, u"True"},
      {"a million characters", kMillion, std::nullopt, rt::kTypeMismatch},
      {"embedded NULs", kWithNuls, std::nullopt, rt::kTypeMismatch},
      {"Date", kDate, u"True"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Fresh(
        R"({"language": "ENG", "components": {"Gatekeeper.RightsDesk": {"AccessCheck": {"value": )" +
        c.answer + "}}}}");
    bool granted = false;
    const ErrRecord error =
        CaptureError([&] { granted = mmts::CheckAccessRight(2812, 1, 0x200000); });
    if (c.error) {
      // In English the runtime's text has no translation: the marker.
      EXPECT_EQ(error,
                (ErrRecord{c.error, u"Err_CheckAccessRight", u"**WaitToBeTranslated**", u"", 0}));
    } else {
      EXPECT_EQ(error, ErrRecord{});
      EXPECT_EQ(granted, *c.text == u"True");
    }
    ExpectAllReleased();
  }
}

TEST_F(HostileAnswersTest, AccessCheckAnswersThroughTheDispatch) {
  Fresh(
      R"({"components": {"Gatekeeper.RightsDesk": {"AccessCheck": {"value": {"type": "Empty"}}}}})");
  EXPECT_EQ(CaptureError([] { entry::DEVOVIZoruze(entry::kBranchSetup); }), ErrRecord{});
  ASSERT_EQ(notices.size(), 1u) << "Empty is a refusal";
  EXPECT_EQ(notices[0].prompt, u"您没有设置机构的权限!");
  EXPECT_TRUE(CallsStartingWith("call BranchLink").empty());
  ExpectAllReleased();

  Fresh(R"({"components": {"Gatekeeper.RightsDesk": {"AccessCheck": {"value": null}}}})");
  EXPECT_EQ(CaptureError([] { entry::DEVOVIZoruze(entry::kBranchSetup); }),
            (ErrRecord{rt::kInvalidUseOfNull, u"Err_CheckAccessRight",
                       u"调用门店函数出错。原因：Invalid use of Null", u"", 0}));
  EXPECT_TRUE(notices.empty());
  ExpectAllReleased();
}

// The answer test: True (-1) and Null pass, other numbers fail, values
// without a number raise.
enum class Verdict { kPass, kFail, kError };
struct AnswerCase {
  const char* label;
  std::string answer;
  Verdict verdict;
  int32_t error = 0;
};

const std::vector<AnswerCase>& AnswerCases() {
  static const auto* cases = new std::vector<AnswerCase>{
      {"True", "true", Verdict::kPass},
      {"Null", kNull, Verdict::kPass},
      {"Long -1", "-1", Verdict::kPass},
      {"text -1", R"("-1")", Verdict::kPass},
      {"text True", R"("True")", Verdict::kPass},
      {"Byte 255, whose complement is 0", kByte255, Verdict::kPass},
      {"object with True", ObjectWith("true"), Verdict::kPass},
      {"object with Null", ObjectWith(kNull), Verdict::kPass},
      {"False", "false", Verdict::kFail},
      {"Empty", kEmpty, Verdict::kFail},
      {"Long 1", "1", Verdict::kFail},
      {"Long 255", "255", Verdict::kFail},
      {"Date", kDate, Verdict::kFail},
      {"array", kArray, Verdict::kError, rt::kTypeMismatch},
      {"object without a value", kBareObject, Verdict::kError, rt::kNoSuchMember},
      {"text yes", R"("yes")", Verdict::kError, rt::kTypeMismatch},
      {"Error value", kErrorValue, Verdict::kError, rt::kTypeMismatch},
      {"huge Double", kHuge, Verdict::kError, rt::kOverflow},
      {"Double beyond a Long", kBeyondLong, Verdict::kError, rt::kOverflow},
      {"a million characters", kMillion, Verdict::kError, rt::kTypeMismatch},
      {"embedded NULs", kWithNuls, Verdict::kError, rt::kTypeMismatch},
  };
  return *cases;
}

TEST_F(HostileAnswersTest, ShowReckoningPassesFailsOrShowsTheError) {
  for (const AnswerCase& c : AnswerCases()) {
    SCOPED_TRACE(c.label);
    Fresh(R"({"components": {"DayClose.CDayCloseRun": {"ShowReckoning": {"value": )" + c.answer +
          "}}}}");
    bool result = true;
    EXPECT_EQ(CaptureError([&] { result = modpublic::RunDayEnd(false, u"", u"RUBO"); }),
              ErrRecord{});
    EXPECT_EQ(result, c.verdict == Verdict::kPass);
    std::vector<std::string> shown;
    for (const auto& n : notices)
      shown.push_back(std::to_string(n.style) + " " + U8(n.prompt));
    switch (c.verdict) {
      case Verdict::kPass:
        EXPECT_EQ(shown, std::vector<std::string>{"64 日结完成"});
        break;
      case Verdict::kFail:
        EXPECT_TRUE(shown.empty());
        break;
      case Verdict::kError:
        EXPECT_EQ(shown, std::vector<std::string>{"16 日结失败\r\n" + U8(RuntimeText(c.error))});
        break;
    }
    EXPECT_EQ(CallsStartingWith("release DayClose").size(), 1u);
    ExpectAllReleased();
  }
}

TEST_F(HostileAnswersTest, ReportReadinessPassesFailsOrRaises) {
  for (const AnswerCase& c : AnswerCases()) {
    SCOPED_TRACE(c.label);
    Fresh(
        R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [{"args": ["OK"], "value": )" +
        c.answer + "}]}}}}");
    bool result = false;
    const ErrRecord error = CaptureError([&] { result = modpublic::RunReport(u"2222", u"sssww"); });
    EXPECT_EQ(error, c.verdict == Verdict::kError ? Runtime(c.error) : ErrRecord{});
    EXPECT_EQ(result, c.verdict == Verdict::kPass);
    EXPECT_EQ(CallsStartingWith("create SheetShow").size(), c.verdict == Verdict::kPass ? 1u : 0u);
    // Not ready and no error text: "Error" is asked once, and answers "".
    EXPECT_EQ(CallsStartingWith("get Tabulate.ClsTable.Result(String \"Error\")").size(),
              c.verdict == Verdict::kFail ? 1u : 0u);
    ExpectAllReleased();
  }
}

TEST_F(HostileAnswersTest, ReportErrorTextIsRaisedAsItConverts) {
  const Case cases[] = {
      {"Null: no text", kNull, std::nullopt},
      {"Empty: no text", kEmpty, std::nullopt},
      {"empty text", R"("")", std::nullopt},
      {"object with an empty text", ObjectWith(R"("")"), std::nullopt},
      {"text", R"("no data")", u"no data"},
      {"a million characters", kMillion, kMillionX},
      {"embedded NULs", kWithNuls, kANulBNul},
      {"Boolean", "true", u"True"},
      {"number", "42", u"42"},
      {"huge Double", kHuge, u"1E+300"},
      {"object with a text", ObjectWith(R"("from object")"), u"from object"},
      {"object without a value", kBareObject, std::nullopt, rt::kNoSuchMember},
      {"array", kArray, std::nullopt, rt::kTypeMismatch},
      {"Error value", kErrorValue, std::nullopt, rt::kTypeMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Fresh(R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [
        {"args": ["OK"], "value": false}, {"args": ["Error"], "value": )" +
          c.answer + "}]}}}}");
    bool result = true;
    const ErrRecord error = CaptureError([&] { result = modpublic::RunReport(u"2222", u"sssww"); });
    if (c.error) {
      EXPECT_EQ(error, Runtime(c.error));
    } else if (c.text) {
      EXPECT_EQ(error, (ErrRecord{5, u"GetRptByID", *c.text, u"", 0}));
      EXPECT_EQ(CallsStartingWith("get Tabulate.ClsTable.Result").size(), 3u);
    } else {
      EXPECT_EQ(error, ErrRecord{});
      EXPECT_FALSE(result);
    }
    EXPECT_TRUE(CallsStartingWith("create SheetShow").empty());
    ExpectAllReleased();
  }

  // Through the dispatch the text gets the prefix, all of it.
  Fresh(std::string(R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [
      {"args": ["OK"], "value": false}, {"args": ["Error"], "value": )") +
        kMillion + "}]}}}}");
  const ErrRecord error = CaptureError([] { entry::DEVOVIZoruze(entry::kReport); });
  EXPECT_EQ(error, (ErrRecord{5, u"GetRptByID", u"调用门店函数出错。原因：" + kMillionX, u"", 0}));
  ExpectAllReleased();
}

// ---- Values written back into by-reference arguments ------------------------------

TEST_F(HostileAnswersTest, WriteBacksIntoTypedVariablesConvertOrFail) {
  // The property name goes to the session by reference: the object-or-value
  // read asks a second time with whatever the first call wrote into it.
  Fresh(R"({"components": {"CtxStore.SessionBag": {"GetProperty": {
      "when": [{"nth": 1, "writeback": {"2": "PropsString"}}]}}}})");
  EXPECT_EQ(mmts::GetSessionUser(), u"UserID=1001;UserName=店长01;StoreID=0101;Role=StoreManager");
  const auto reads = CallsStartingWith("get CtxStore.SessionBag.GetProperty");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_NE(reads[1].find("ByRef String \"PropsString\""), std::string::npos) << reads[1];
  ExpectAllReleased();
  // A name that is no text cannot go back into the String variable.
  Fresh(R"({"components": {"CtxStore.SessionBag": {"GetProperty": {"writeback": {"2": null}}}}})");
  EXPECT_EQ(CaptureError([] { mmts::GetSessionUser(); }), Runtime(rt::kInvalidUseOfNull));
  ExpectAllReleased();

  // `reverse` is a Boolean variable: a number becomes a Boolean, Null fails
  // the day-end, whose notice then goes by the value as it was.
  Fresh(
      R"({"components": {"DayClose.CDayCloseRun": {"ShowReckoning": {"writeback": {"2": 0}, "value": true}}}})");
  EXPECT_TRUE(modpublic::RunDayEnd(true, u"", u"RUBO"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"日结完成");
  ExpectAllReleased();
  Fresh(
      R"({"components": {"DayClose.CDayCloseRun": {"ShowReckoning": {"writeback": {"2": null}, "value": true}}}})");
  EXPECT_FALSE(modpublic::RunDayEnd(true, u"", u"RUBO"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].prompt, u"反日结失败\r\nInvalid use of Null");
  EXPECT_EQ(notices[0].style, modpublic::kStyleCritical);
  ExpectAllReleased();
}

}  // namespace
}  // namespace wb::proof
