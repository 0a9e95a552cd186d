// Per-thread languages: "CurrentLanguage" assigned on one thread is that
// thread's answer alone.
#include <thread>

#include "core/runtime_errors.h"
#include "refsuite/test_support.h"

namespace refsuite::testing {
namespace {

using wb::Variant;

using ThreadLanguageTest = RefSuiteTest;

Variant Language() {
  return wb::GetMember(wb::CreateObject(u"Polyglot.LocaleState"), u"CurrentLanguage");
}

void Assign(Variant language) {
  wb::LetMember(wb::CreateObject(u"Polyglot.LocaleState"), u"CurrentLanguage", std::move(language));
}

TEST_F(ThreadLanguageTest, AnAssignmentHoldsForEveryInstanceOnItsThreadOnly) {
  LoadScenarioText(R"({"language": "CHS"})");
  Assign(Variant::Str(u"ENG"));
  EXPECT_EQ(Language(), Variant::Str(u"ENG")) << "another instance, same thread";
  Variant other;
  std::thread([&] { other = Language(); }).join();
  EXPECT_EQ(other, Variant::Str(u"CHS")) << "a thread without its own language";
  std::thread([&] {
    Assign(Variant::Str(u"JPN"));
    other = Language();
  }).join();
  EXPECT_EQ(other, Variant::Str(u"JPN"));
  EXPECT_EQ(Language(), Variant::Str(u"ENG"));
  EXPECT_EQ(EntriesOf("let").at(0)["member"], "CurrentLanguage");
}

TEST_F(ThreadLanguageTest, EmptyClearsAndOtherKindsAreRefused) {
  Assign(Variant::Str(u"ENG"));
  Assign(Variant());
  EXPECT_EQ(Language(), Variant::Str(u"CHS"));
  EXPECT_EQ(wb::CaptureError([] { Assign(Variant::Long(1)); }).number, wb::rt::kTypeMismatch);
  EXPECT_EQ(Language(), Variant::Str(u"CHS"));
}

TEST_F(ThreadLanguageTest, ANewScenarioForgetsThreadLanguages) {
  Assign(Variant::Str(u"ENG"));
  LoadScenarioText(R"({"language": "DEU"})");
  EXPECT_EQ(Language(), Variant::Str(u"DEU"));
  Assign(Variant::Str(u"ENG"));
  ResetScenario();
  EXPECT_EQ(Language(), Variant::Str(u"CHS"));
}

TEST_F(ThreadLanguageTest, AScriptedAnswerStillWins) {
  LoadScenarioText(
      R"({"components": {"Polyglot.LocaleState": {"CurrentLanguage": {"value": "KOR"}}}})");
  Assign(Variant::Str(u"ENG"));
  EXPECT_EQ(Language(), Variant::Str(u"KOR"));
}

}  // namespace
}  // namespace refsuite::testing
