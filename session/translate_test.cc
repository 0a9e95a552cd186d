// Translation through the suite's resource-string loader.
#include <gtest/gtest.h>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "session/mmts.h"
#include "tests/support/suite_fixture.h"

namespace wb::mmts {
namespace {

class TranslateTest : public ::wb::testing::SuiteTest {
 protected:
  // The current language ENG, with `phrases` as its table (JSON object text).
  void English(const std::string& phrases = "{}") {
    UseScenario(R"({"language": "ENG", "phrases": {"ENG": )" + phrases + "}}");
  }
  // The loader answers `json_value` to every LoadString.
  void LoaderAnswers(const std::string& json_value) {
    UseScenario(R"({"language": "ENG", "components": {"Phrasebook.Catalog":
        {"LoadString": {"value": )" +
                json_value + "}}}}");
  }
  int LoadStringCalls() const {
    return static_cast<int>(CallsStartingWith("get Phrasebook.Catalog.LoadString").size());
  }
};

TEST_F(TranslateTest, SourceLanguagePassesTextThroughButStillConfiguresTheLoader) {
  EXPECT_EQ(TranslateText(u"  调用门店函数出错。原因： "), u"  调用门店函数出错。原因： ");
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "create Polyglot.LocaleState",
                         "get Polyglot.LocaleState.CurrentLanguage() -> String \"CHS\"",
                         "create Phrasebook.Catalog",
                         "get Phrasebook.Catalog.ResFileBaseName() -> String \"\"",
                         "let Phrasebook.Catalog.ResFileBaseName = String \"Q5COM\"",
                         "get Phrasebook.Catalog.LanguageID() -> String \"\"",
                         "let Phrasebook.Catalog.LanguageID = String \"CHS\"",
                     }));
  ForgetCalls();
  TranslateText(u"x");
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "get Phrasebook.Catalog.ResFileBaseName() -> String \"Q5COM\"",
                         "get Phrasebook.Catalog.LanguageID() -> String \"CHS\"",
                     }))
      << "components are cached, the language fetched once, and equal settings not assigned";
}

TEST_F(TranslateTest, LowerCaseSourceLanguageCountsAsSource) {
  UseScenario(R"({"language": "chs"})");
  EXPECT_EQ(TranslateText(u"日结完成"), u"日结完成");
  EXPECT_EQ(LoadStringCalls(), 0);
  EXPECT_EQ(CallsStartingWith("let Phrasebook.Catalog.LanguageID"),
            (std::vector<std::string>{"let Phrasebook.Catalog.LanguageID = String \"CHS\""}));
}

TEST_F(TranslateTest, PlainTextIsLookedUpByItsTrimmedKeyAndKeepsItsSpaces) {
  English(R"({"X": "Y", "日结完成": "Day-end completed"})");
  EXPECT_EQ(TranslateText(u"  X "), u"  Y ");
  EXPECT_EQ(TranslateText(u"日结完成"), u"Day-end completed");
  EXPECT_EQ(CallsStartingWith("get Phrasebook.Catalog.LoadString"),
            (std::vector<std::string>{
                "get Phrasebook.Catalog.LoadString(ByRef String \"X\") -> String \"Y\"",
                "get Phrasebook.Catalog.LoadString(ByRef String \"日结完成\") -> String \"Day-end "
                "completed\"",
            }));
}

TEST_F(TranslateTest, BlankTextsAreNeverLookedUp) {
  English();
  EXPECT_EQ(TranslateText(u""), u"");
  EXPECT_EQ(TranslateText(u"   "), u"   ");
  EXPECT_EQ(LoadStringCalls(), 0);
}

TEST_F(TranslateTest, CrLfPairsAreStrippedFromBothEndsOnly) {
  LoaderAnswers(R"("\r\n\r\nY\r\n")");
  EXPECT_EQ(TranslateText(u"X"), u"Y");
  LoaderAnswers(R"("\rY\n")");
  EXPECT_EQ(TranslateText(u"X"), u"\rY\n");
  LoaderAnswers(R"("\n\rY\r\nZ\n\r")");
  EXPECT_EQ(TranslateText(u"X"), u"\n\rY\r\nZ\n\r");
}

TEST_F(TranslateTest, AnEmptyAnswerGivesTheMarkerOnlyWhenNothingSurroundsTheKey) {
  LoaderAnswers(R"("")");
  EXPECT_EQ(TranslateText(u"X"), u"**WaitToBeTranslated**");
  EXPECT_EQ(TranslateText(u" X"), u" ");
  LoaderAnswers(R"("\r\n\r\n")");
  EXPECT_EQ(TranslateText(u"X"), u"**WaitToBeTranslated**");
}

TEST_F(TranslateTest, TabsAreContentOfTheKey) {
  English(R"({"\tX": "T"})");
  EXPECT_EQ(TranslateText(u"\tX"), u"T");
  EXPECT_EQ(CallsStartingWith("get Phrasebook.Catalog.LoadString"),
            (std::vector<std::string>{
                "get Phrasebook.Catalog.LoadString(ByRef String \"\\tX\") -> String \"T\""}));
}

TEST_F(TranslateTest, CompoundTextsTranslateOnlyMarkedSegments) {
  English(R"({"B": "b!"})");
  EXPECT_EQ(TranslateText(u"A^|^~$~B^|^C"), u"Ab!C");
  EXPECT_EQ(TranslateText(u"^|^"), u"") << "no marker for compound texts";
  EXPECT_EQ(TranslateText(u"A^|^~$~^|^~$^|^~"), u"A~$~") << "short segments are literal";
  EXPECT_EQ(TranslateText(u"~$~ B ^|^x"), u" b! x");
  LoaderAnswers(R"("")");
  EXPECT_EQ(TranslateText(u"A^|^~$~B^|^C"), u"A**WaitToBeTranslated**C");
}

TEST_F(TranslateTest, CompoundTextsInTheSourceLanguageLoseOnlyTheirMarkup) {
  EXPECT_EQ(TranslateText(u"门店^|^~$~日结^|^ 完成"), u"门店日结 完成");
  EXPECT_EQ(LoadStringCalls(), 0);
}

TEST_F(TranslateTest, AFailingSegmentContributesItsKeyText) {
  UseScenario(R"({"language": "ENG", "phrases": {"ENG": {"A": "a"}},
      "components": {"Phrasebook.Catalog": {"LoadString": {"when": [
        {"args": ["B"], "raise": {"number": 1000, "description": "no B"}}]}}}})");
  EXPECT_EQ(TranslateText(u"~$~A^|^-^|^~$~B"), u"a-B");
  EXPECT_EQ(Err::Number(), 0);
}

TEST_F(TranslateTest, APendingErrorSurvivesInAllFiveFields) {
  English(R"({"X": "Y"})");
  const ErrRecord pending{5, u"Src", u"Desc", u"help.chm", 77};
  Err::Get() = pending;
  EXPECT_EQ(TranslateText(u"X"), u"Y");
  EXPECT_EQ(Err::Get(), pending);

  UseScenario(R"({"language": "ENG", "uncreatable": ["Phrasebook.Catalog"]})");
  TeardownThreadState();
  Err::Get() = pending;
  EXPECT_EQ(TranslateText(u" X "), u" X ");
  EXPECT_EQ(Err::Get(), pending) << "also when the loader cannot be created";
}

TEST_F(TranslateTest, FailuresAreNeverReported) {
  UseScenario(R"({"language": "ENG", "uncreatable": ["Phrasebook.Catalog"]})");
  EXPECT_EQ(TranslateText(u" X "), u" X ");
  EXPECT_EQ(Err::Get(), ErrRecord{});
  EXPECT_EQ(CallsStartingWith("create-failed"),
            (std::vector<std::string>{"create-failed Phrasebook.Catalog"}));
  TranslateText(u"X");
  EXPECT_EQ(CallsStartingWith("create-failed").size(), 2u) << "a failed creation is retried";
}

TEST_F(TranslateTest, ANullAnswerLeavesTheTextAsItWas) {
  LoaderAnswers("null");
  EXPECT_EQ(TranslateText(u"X"), u"X");
  EXPECT_EQ(Err::Number(), 0);
}

TEST_F(TranslateTest, AMissingLoaderMemberLeavesTheTextAsItWas) {
  UseScenario(R"({"language": "ENG", "components": {"Phrasebook.Catalog":
      {"LanguageID": {"missing": true}}}})");
  EXPECT_EQ(TranslateText(u"X"), u"X");
  EXPECT_EQ(LoadStringCalls(), 0);
}

TEST_F(TranslateTest, TheLanguageIsFetchedOncePerThread) {
  English(R"({"X": "Y"})");
  EXPECT_EQ(TranslateText(u"X"), u"Y");
  UseScenario(R"({"language": "CHS"})");
  EXPECT_EQ(TranslateText(u"X"), u"**WaitToBeTranslated**")
      << "a later change of language is not seen by this thread";
  EXPECT_EQ(CallsStartingWith("get Polyglot.LocaleState.CurrentLanguage").size(), 1u);
}

TEST_F(TranslateTest, AnEmptyLanguageIsAskedForAgain) {
  UseScenario(R"({"language": ""})");
  TranslateText(u"X");
  TranslateText(u"X");
  EXPECT_EQ(CallsStartingWith("get Polyglot.LocaleState.CurrentLanguage").size(), 2u);
  EXPECT_EQ(CallsStartingWith("create Polyglot.LocaleState").size(), 1u);
}

TEST_F(TranslateTest, TheCachedComponentsGoWithTheThreadState) {
  TranslateText(u"X");
  EXPECT_EQ(CallsStartingWith("release").size(), 0u);
  TeardownThreadState();
  EXPECT_EQ(CallsStartingWith("release").size(), 2u);
}

}  // namespace
}  // namespace wb::mmts
