// Session properties and the function-right check.
#include <gtest/gtest.h>

#include <unistd.h>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "core/variant.h"
#include "session/mmts.h"
#include "tests/support/suite_fixture.h"

namespace wb::mmts {
namespace {

class SessionTest : public ::wb::testing::SuiteTest {
 protected:
  std::string Pid() const { return std::to_string(::getpid()); }
};

TEST_F(SessionTest, EachReadCreatesItsOwnComponentAndAsksTwice) {
  UseScenario(R"({"session": {"UserName": "店长01"}})");
  EXPECT_EQ(GetSessionUser(), u"店长01");
  EXPECT_EQ(GetSessionUser(), u"店长01");
  const std::string ask = "get CtxStore.SessionBag.GetProperty(ByRef Long " + Pid() +
                          ", ByRef String \"UserName\") -> String \"店长01\"";
  const std::vector<std::string> one_read = {"create CtxStore.SessionBag", ask, ask,
                                             "release CtxStore.SessionBag"};
  std::vector<std::string> two_reads = one_read;
  two_reads.insert(two_reads.end(), one_read.begin(), one_read.end());
  EXPECT_EQ(Calls(), two_reads);
}

TEST_F(SessionTest, PropsStringIsReadUnderItsName) {
  UseScenario(R"({"session": {"PropsString": "UserID=7"}})");
  EXPECT_EQ(GetPropsString(), u"UserID=7");
  EXPECT_EQ(CallsStartingWith("get").front(),
            "get CtxStore.SessionBag.GetProperty(ByRef Long " + Pid() +
                ", ByRef String \"PropsString\") -> String \"UserID=7\"");
}

TEST_F(SessionTest, ObjectValuesComeBackAsObjectsAndConvertThroughTheirValue) {
  UseScenario(R"({"session": {"UserName": {"type": "Object", "default": "obj-user"},
                              "PropsString": {"type": "Object"}}})");
  String name = u"UserName";
  const Variant value = GetSessionProperty(name);
  ASSERT_TRUE(value.IsObject());
  EXPECT_FALSE(value.object().IsNothing());
  EXPECT_EQ(GetSessionUser(), u"obj-user");
  EXPECT_EQ(CaptureError([] { GetPropsString(); }).number, rt::kNoSuchMember)
      << "an object without a default value has no text";
}

TEST_F(SessionTest, EmptyAndUnconvertibleValues) {
  UseScenario(R"({"session": {"UserName": {"type": "Empty"}, "PropsString": null}})");
  EXPECT_EQ(GetSessionUser(), u"");
  EXPECT_EQ(CaptureError([] { GetPropsString(); }).number, rt::kInvalidUseOfNull);
}

TEST_F(SessionTest, TheNameGoesByReferenceToTheCallersVariable) {
  UseScenario(R"({"components": {"CtxStore.SessionBag": {"GetProperty":
      {"value": "v", "writeback": {"2": "Renamed"}}}}})");
  String name = u"UserName";
  GetSessionProperty(name);
  EXPECT_EQ(name, u"Renamed");
}

TEST_F(SessionTest, AMissingSessionComponentRaisesTheRuntimeError) {
  UseScenario(R"({"uncreatable": ["CtxStore.SessionBag"]})");
  const ErrRecord error = CaptureError([] { GetSessionUser(); });
  EXPECT_EQ(error.number, rt::kCannotCreateObject);
  EXPECT_EQ(error.description, u"ActiveX component can't create object");
}

TEST_F(SessionTest, AFailingReadStillReleasesTheComponent) {
  UseScenario(R"({"components": {"CtxStore.SessionBag": {"GetProperty":
      {"raise": {"number": 3001, "source": "Bag", "description": "gone"}}}}})");
  EXPECT_EQ(CaptureError([] { GetPropsString(); }).number, 3001);
  EXPECT_EQ(CallsStartingWith("release"),
            (std::vector<std::string>{"release CtxStore.SessionBag"}));
}

class AccessRightTest : public ::wb::testing::SuiteTest {};

TEST_F(AccessRightTest, PassesThePropsStringAndTheThreeNumbersInOrder) {
  UseScenario(R"({"session": {"PropsString": "P"}, "rights": {"2812": true, "2811": false}})");
  EXPECT_TRUE(CheckAccessRight(2812, 1, 0x200000));
  EXPECT_FALSE(CheckAccessRight(2811, 3, 0x200000));
  EXPECT_EQ(Err::Number(), 0);
  EXPECT_EQ(CallsStartingWith("get Gatekeeper"),
            (std::vector<std::string>{
                "get Gatekeeper.RightsDesk.AccessCheck(String \"P\", ByRef Long 2812, "
                "ByRef Long 1, ByRef Long 2097152) -> Boolean true",
                "get Gatekeeper.RightsDesk.AccessCheck(String \"P\", ByRef Long 2811, "
                "ByRef Long 3, ByRef Long 2097152) -> Boolean false",
            }));
  const auto calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "create Gatekeeper.RightsDesk") << "the rights component comes first";
  EXPECT_EQ(calls[1], "create CtxStore.SessionBag");
}

TEST_F(AccessRightTest, AnUncreatableRightsComponentRaisesUnderItsOwnSource) {
  UseScenario(R"({"uncreatable": ["Gatekeeper.RightsDesk"]})");
  const ErrRecord error = CaptureError([] { CheckAccessRight(2812, 1, 0x200000); });
  EXPECT_EQ(error, (ErrRecord{rt::kCannotCreateObject, u"Err_CheckAccessRight",
                              u"ActiveX component can't create object", u"", 0}));
}

TEST_F(AccessRightTest, AComponentErrorKeepsNumberAndHelpAndGetsATranslatedDescription) {
  const std::string raise = R"("AccessCheck": {"raise": {"number": 2001, "source": "Desk",
      "description": "denied", "helpfile": "desk.chm", "helpcontext": 17}})";
  UseScenario(R"({"components": {"Gatekeeper.RightsDesk": {)" + raise + "}}}");
  EXPECT_EQ(CaptureError([] { CheckAccessRight(2812, 1, 0x200000); }),
            (ErrRecord{2001, u"Err_CheckAccessRight", u"denied", u"desk.chm", 17}));

  TeardownThreadState();
  UseScenario(R"({"language": "ENG", "phrases": {"ENG": {"denied": "Denied!"}},
                  "components": {"Gatekeeper.RightsDesk": {)" +
              raise + "}}}");
  EXPECT_EQ(CaptureError([] { CheckAccessRight(2812, 1, 0x200000); }),
            (ErrRecord{2001, u"Err_CheckAccessRight", u"Denied!", u"desk.chm", 17}));

  TeardownThreadState();
  UseScenario(R"({"language": "ENG", "components": {"Gatekeeper.RightsDesk": {)" + raise + "}}}");
  EXPECT_EQ(CaptureError([] { CheckAccessRight(2812, 1, 0x200000); }).description,
            u"**WaitToBeTranslated**");
}

TEST_F(AccessRightTest, AnAnswerWithoutABooleanFormRaises) {
  UseScenario(
      R"({"components": {"Gatekeeper.RightsDesk": {"AccessCheck": {"value": "perhaps"}}}})");
  const ErrRecord error = CaptureError([] { CheckAccessRight(2812, 1, 0x200000); });
  EXPECT_EQ(error.number, rt::kTypeMismatch);
  EXPECT_EQ(error.source, u"Err_CheckAccessRight");
}

TEST_F(AccessRightTest, ASessionFailureIsRaisedUnderTheCheckSource) {
  UseScenario(R"({"uncreatable": ["CtxStore.SessionBag"]})");
  const ErrRecord error = CaptureError([] { CheckAccessRight(2811, 3, 0x200000); });
  EXPECT_EQ(error.number, rt::kCannotCreateObject);
  EXPECT_EQ(error.source, u"Err_CheckAccessRight");
  EXPECT_EQ(CallsStartingWith("release"),
            (std::vector<std::string>{"release Gatekeeper.RightsDesk"}));
}

}  // namespace
}  // namespace wb::mmts
