// Injected faults: the K-th interaction fails once, and the journal numbers
// the interactions in the order the injector counts them.
#include "bridge/convert.h"
#include "core/runtime_errors.h"
#include "core/text.h"
#include "refsuite/test_support.h"

namespace refsuite::testing {
namespace {

using nlohmann::json;
using wb::Variant;

using FaultInjectionTest = RefSuiteTest;

constexpr char kFault[] =
    R"({"number": 1999, "source": "Injector", "description": "注入的故障", "helpfile": "f.chm", "helpcontext": 7})";
const wb::ErrRecord kFaultRecord{1999, u"Injector", u"注入的故障", u"f.chm", 7};

std::string InjectAt(int at, const std::string& extra = "") {
  return R"({"inject": {"at": )" + std::to_string(at) + R"(, "raise": )" + kFault + extra + "}}";
}

std::string ProblemOf(const std::string& text) {
  try {
    LoadScenarioText(text, "case.json");
  } catch (const ScenarioError& e) {
    return e.what();
  }
  ADD_FAILURE() << "scenario accepted: " << text;
  return {};
}

// The journal's entries that carry an interaction number.
std::vector<json> Interactions() {
  std::vector<json> out;
  for (const auto& entry : Journal()) {
    if (entry.contains("seq"))
      out.push_back(entry);
  }
  return out;
}

TEST_F(FaultInjectionTest, BadInjectionsAreReported) {
  EXPECT_NE(
      ProblemOf(R"({"inject": {"raise": {"number": 5}}})").find("/inject: \"at\" is required"),
      std::string::npos);
  EXPECT_NE(ProblemOf(R"({"inject": {"at": 0, "raise": {"number": 5}}})")
                .find("/inject/at: number out of range"),
            std::string::npos);
  EXPECT_NE(ProblemOf(R"({"inject": {"at": 1}})").find("\"raise\" is required"), std::string::npos);
  EXPECT_NE(ProblemOf(R"({"inject": {"at": 1, "raise": {"number": 5}, "creation": "maybe"}})")
                .find("/inject/creation: expected \"uncreatable\" or \"raise\""),
            std::string::npos);
  EXPECT_NE(
      ProblemOf(
          R"({"inject": [{"at": 2, "raise": {"number": 5}}, {"at": 2, "raise": {"number": 6}}]})")
          .find("/inject/1/at: interaction 2 already has a fault"),
      std::string::npos);
  EXPECT_NE(ProblemOf(R"({"inject": 3})").find("/inject: expected"), std::string::npos);
}

TEST_F(FaultInjectionTest, AFaultyCreationFailsAsAnUncreatableProgIdOnce) {
  LoadScenarioText(InjectAt(1));
  const wb::ErrRecord error = wb::CaptureError([] { wb::CreateObject(u"Loyalty.CPlan"); });
  EXPECT_EQ(error, (wb::ErrRecord{wb::rt::kCannotCreateObject, u"Workbench",
                                  u"ActiveX component can't create object", u"", 0}));
  wb::CreateObject(u"Loyalty.CPlan");  // interaction 2: normal again
  const auto entries = Journal();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0]["event"], "create-failed");
  EXPECT_EQ(entries[0]["seq"], 1);
  EXPECT_EQ(entries[0]["injected"], true);
  EXPECT_EQ(entries[1]["event"], "create");
  EXPECT_EQ(entries[1]["seq"], 2);
  EXPECT_FALSE(entries[1].contains("injected"));
}

TEST_F(FaultInjectionTest, ACreationCanRaiseTheGivenErrorInstead) {
  LoadScenarioText(InjectAt(1, R"(, "creation": "raise")"));
  EXPECT_EQ(wb::CaptureError([] { wb::CreateObject(u"Tabulate.ClsTable"); }), kFaultRecord);
}

TEST_F(FaultInjectionTest, AFaultyMemberCallRaisesAllFiveFieldsOnce) {
  LoadScenarioText(InjectAt(3));
  {
    auto plan = wb::CreateObject(u"Finder.OneRecordPick");  // 1
    wb::LetMember(plan, u"ShowType", Variant::Integer(0));  // 2
    EXPECT_EQ(
        wb::CaptureError([&] { wb::LetMember(plan, u"ClassTypeID", Variant::Long(5)); }),  // 3
        kFaultRecord);
    wb::CallMember(plan, u"Show");  // 4
    EXPECT_TRUE(wb::GetMember(plan, u"ClassTypeID").IsEmpty())
        << "the failed assignment stored nothing";
  }
  const auto calls = Interactions();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[2]["member"], "ClassTypeID");
  EXPECT_EQ(calls[2]["injected"], true);
  EXPECT_EQ(calls[2]["error"]["number"], 1999);
  EXPECT_EQ(calls[2]["error"]["helpcontext"], 7);
  EXPECT_EQ(LiveCount("Finder.OneRecordPick"), 0);
}

TEST_F(FaultInjectionTest, SeveralFaultsInOneRun) {
  LoadScenarioText(
      R"({"inject": [{"at": 2, "raise": {"number": 71}}, {"at": 4, "raise": {"number": 72}}]})");
  auto keys = wb::CreateObject(u"TillGuide.CKeyMap");
  EXPECT_EQ(wb::CaptureError([&] { wb::CallMember(keys, u"ShowHELP"); }).number, 71);
  wb::CallMember(keys, u"ShowHELP");
  EXPECT_EQ(wb::CaptureError([&] { wb::CallMember(keys, u"ShowHELP"); }).number, 72);
}

TEST_F(FaultInjectionTest, TheInjectedCallStillCountsForOrdinals) {
  LoadScenarioText(R"({"inject": {"at": 2, "raise": {"number": 71}},
      "components": {"Loyalty.CPlan": {"Show": {"when": [{"nth": 2, "value": 42}]}}}})");
  auto plan = wb::CreateObject(u"Loyalty.CPlan");
  EXPECT_EQ(wb::CaptureError([&] { wb::GetMember(plan, u"Show"); }).number, 71);
  EXPECT_EQ(wb::GetMember(plan, u"Show"), Variant::Long(42));
}

TEST_F(FaultInjectionTest, TheJournalNumbersInteractionsInTheInjectorsOrder) {
  LoadScenarioText(R"({"session": {"UserName": {"type": "Object", "default": "u"}}})");
  {
    auto bag = wb::CreateObject(u"CtxStore.SessionBag");
    Variant pid = Variant::Long(static_cast<int32_t>(getpid()));
    Variant name = Variant::Str(u"UserName");
    wb::Args args;
    args.push_back(wb::Arg::Ref(pid));
    args.push_back(wb::Arg::Ref(name));
    // Two GetProperty calls, each answering a new object, and the default
    // member read on the second one.
    EXPECT_EQ(wb::ToString(wb::GetObjectOrValue(bag, u"GetProperty", std::move(args))), u"u");
    EXPECT_EQ(wb::CaptureError([] { wb::CreateObject(u"NoSuch.Thing"); }).number, 429);
  }
  const auto entries = Journal();
  std::vector<std::string> numbered;
  int expected_seq = 0;
  for (const auto& entry : entries) {
    const std::string event = entry["event"];
    if (event == "release" || (event == "create" && entry["progid"] == "RefSuite.Value")) {
      EXPECT_FALSE(entry.contains("seq")) << entry.dump();
      continue;
    }
    ASSERT_TRUE(entry.contains("seq")) << entry.dump();
    EXPECT_EQ(entry["seq"], ++expected_seq) << "numbered in journal order";
    numbered.push_back(event + " " + entry.value("member", std::string()));
  }
  EXPECT_EQ(numbered,
            (std::vector<std::string>{"create ", "get GetProperty", "get GetProperty", "get "}))
      << "an unregistered ProgID never reaches the suite";
  EXPECT_EQ(refsuite::Interactions(), 4);
}

TEST_F(FaultInjectionTest, LoadingAScenarioStartsTheCountAgain) {
  wb::CreateObject(u"Loyalty.CPlan");
  EXPECT_EQ(refsuite::Interactions(), 1);
  LoadScenarioText("{}");
  EXPECT_EQ(refsuite::Interactions(), 0);
  wb::CreateObject(u"Loyalty.CPlan");
  ResetScenario();
  EXPECT_EQ(refsuite::Interactions(), 0);
}

}  // namespace
}  // namespace refsuite::testing
