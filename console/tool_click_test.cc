#include "console/tool_click.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/bridge.h"
#include "console/menu_model.h"
#include "console/menu_tool_object.h"
#include "core/err.h"
#include "core/ref_counted.h"
#include "core/runtime_errors.h"
#include "core/variant.h"
#include "tests/support/stack_object.h"

namespace wb::console {
namespace {

// Records every action as text, in order; the one named `fail_on` raises.
class Recorder final : public ToolActions {
 public:
  std::vector<std::string> calls;
  std::string fail_on;

  void AddToText(String strLog) override { Note("AddToText(" + ToUtf8(strLog) + ")"); }
  void ShowMemberLookup() override { Note("ShowMemberLookup"); }
  void ShowMemberPoints(String strVIPNumber) override {
    Note("ShowMemberPoints(" + ToUtf8(strVIPNumber) + ")");
  }
  void ShowLoyaltyPlan() override { Note("ShowLoyaltyPlan"); }
  void ShowKeyMap() override { Note("ShowKeyMap"); }
  void ShowReceiptRoll() override { Note("ShowReceiptRoll"); }
  void RunDayEnd(bool reverse, String strUser, String strCode) override {
    Note(std::string("RunDayEnd(") + (reverse ? "True" : "False") + "," + ToUtf8(strUser) + "," +
         ToUtf8(strCode) + ")");
  }
  void ShowBranchSetup() override { Note("ShowBranchSetup"); }
  String GetSessionUser() override {
    Note("GetSessionUser");
    return u"clerk " + String(1, static_cast<char16_t>(u'0' + users_read_++));
  }
  void UnloadConsole() override { Note("Unload"); }

 private:
  void Note(std::string call) {
    calls.push_back(call);
    if (call.rfind(fail_on, 0) == 0 && !fail_on.empty()) {
      Err::Raise(9101, u"Recorder", u"refused " + FromUtf8(call), u"help.chm", 7);
    }
  }
  int users_read_ = 1;
};

// A tool whose "Name" gives the next of `names` on each read (the last one
// repeated), or raises on read number `fail_read`.
class FakeTool final : public StackObject<> {
 public:
  FakeTool(std::vector<String> names, int fail_read = 0)
      : names_(std::move(names)), fail_read_(fail_read) {}
  Variant Invoke(StringView name, CallKind kind, Args& args) override {
    EXPECT_EQ(ToUtf8(name), "Name");
    EXPECT_EQ(kind, CallKind::kGet);
    EXPECT_TRUE(args.empty());
    ++reads;
    if (reads == fail_read_)
      Err::Raise(424, u"Bar", u"no tool");
    return Variant::Str(names_[std::min<size_t>(reads - 1, names_.size() - 1)]);
  }
  int reads = 0;

 private:
  std::vector<String> names_;
  int fail_read_;
};

std::vector<std::string> Click(StringView name, Recorder& recorder) {
  FakeTool tool({String(name)});
  OnToolClick(ObjectRef(&tool), recorder);
  EXPECT_EQ(tool.reads, 2);
  EXPECT_EQ(tool.refs(), 0);
  return recorder.calls;
}

std::vector<std::string> Click(StringView name) {
  Recorder recorder;
  return Click(name, recorder);
}

using Calls = std::vector<std::string>;

TEST(OnToolClick, EachWorkingToolLogsThenRunsItsAction) {
  EXPECT_EQ(Click(u"mnuVIP_ViewAll"),
            (Calls{"AddToText(You click: mnuVIP_ViewAll)", "ShowMemberLookup"}));
  EXPECT_EQ(Click(u"mnuVIP_ViewScore"),
            (Calls{"AddToText(You click: mnuVIP_ViewScore)", "ShowMemberPoints(ZS00001)"}));
  EXPECT_EQ(Click(u"mnuVIP_Sheme"),
            (Calls{"AddToText(You click: mnuVIP_Sheme)", "ShowLoyaltyPlan"}));
  EXPECT_EQ(Click(u"mnuOther_HotKey"),
            (Calls{"AddToText(You click: mnuOther_HotKey)", "ShowKeyMap"}));
  EXPECT_EQ(Click(u"mnuOther_Bill"),
            (Calls{"AddToText(You click: mnuOther_Bill)", "ShowReceiptRoll"}));
  EXPECT_EQ(Click(u"mnuOther_Exit"), (Calls{"AddToText(You click: mnuOther_Exit)", "Unload"}));
  EXPECT_EQ(Click(u"mnuSet_Offset"),
            (Calls{"AddToText(You click: mnuSet_Offset)", "ShowBranchSetup"}));
}

TEST(OnToolClick, DayEndToolsReadTheUserAtEachClick) {
  Recorder recorder;
  Click(u"mnuOther_ReckoningDaily", recorder);
  Click(u"mnuOther_ReckoningDailyOver", recorder);
  EXPECT_EQ(recorder.calls, (Calls{"AddToText(You click: mnuOther_ReckoningDaily)",
                                   "GetSessionUser", "RunDayEnd(False,clerk 1,RUBO)",
                                   "AddToText(You click: mnuOther_ReckoningDailyOver)",
                                   "GetSessionUser", "RunDayEnd(True,clerk 2,RUBO)"}));
}

TEST(OnToolClick, OtherNamesAreOnlyLogged) {
  const char16_t* names[] = {u"mnuVIP",
                             u"mnuSet",
                             u"mnuOther",
                             u"mnuvip_viewall",
                             u"MNUOTHER_EXIT",
                             u" mnuOther_Exit",
                             u"mnuOther_Exit ",
                             u"mnuOther_Exit\t",
                             u"mnuOther_ExitX",
                             u"mnuOther_Reckoning",
                             u""};
  for (const char16_t* name : names) {
    EXPECT_EQ(Click(name), (Calls{"AddToText(You click: " + ToUtf8(name) + ")"})) << ToUtf8(name);
  }
  // A name with an embedded NUL compares code unit by code unit too.
  EXPECT_EQ(Click(String(u"mnuOther_Exit\0", 14)).size(), 1u);
}

TEST(OnToolClick, TheSecondReadOfTheNameIsDispatched) {
  Recorder recorder;
  FakeTool tool({u"mnuVIP", u"mnuOther_HotKey"});
  OnToolClick(ObjectRef(&tool), recorder);
  EXPECT_EQ(recorder.calls, (Calls{"AddToText(You click: mnuVIP)", "ShowKeyMap"}));
}

TEST(OnToolClick, FailedLogAppendDispatchesNothing) {
  Recorder recorder;
  recorder.fail_on = "AddToText";
  FakeTool tool({u"mnuOther_Exit"});
  Err::Clear();
  EXPECT_THROW(OnToolClick(ObjectRef(&tool), recorder), RaisedError);
  EXPECT_EQ(recorder.calls, (Calls{"AddToText(You click: mnuOther_Exit)"}));
  EXPECT_EQ(tool.reads, 1);
  EXPECT_EQ(tool.refs(), 0);
  EXPECT_EQ(Err::Get(),
            (ErrRecord{9101, u"Recorder", u"refused AddToText(You click: mnuOther_Exit)",
                       u"help.chm", 7}));
}

TEST(OnToolClick, ErrorReadingTheNameEndsTheHandler) {
  for (int fail_read : {1, 2}) {
    Recorder recorder;
    FakeTool tool({u"mnuVIP_ViewAll"}, fail_read);
    EXPECT_THROW(OnToolClick(ObjectRef(&tool), recorder), RaisedError);
    EXPECT_EQ(Err::Number(), 424);
    EXPECT_EQ(Err::Source(), u"Bar");
    // The first read feeds the log line; the second, the dispatch.
    EXPECT_EQ(recorder.calls.size(), fail_read == 1 ? 0u : 1u);
    EXPECT_EQ(tool.refs(), 0);
  }
}

TEST(OnToolClick, LauncherErrorsPassThroughUnchanged) {
  Recorder recorder;
  recorder.fail_on = "ShowMemberPoints";
  EXPECT_THROW(Click(u"mnuVIP_ViewScore", recorder), RaisedError);
  EXPECT_EQ(Err::Get(),
            (ErrRecord{9101, u"Recorder", u"refused ShowMemberPoints(ZS00001)", u"help.chm", 7}));
}

TEST(OnToolClick, UserNameErrorSkipsTheDayEnd) {
  Recorder recorder;
  recorder.fail_on = "GetSessionUser";
  FakeTool tool({u"mnuOther_ReckoningDailyOver"});
  EXPECT_THROW(OnToolClick(ObjectRef(&tool), recorder), RaisedError);
  EXPECT_EQ(recorder.calls,
            (Calls{"AddToText(You click: mnuOther_ReckoningDailyOver)", "GetSessionUser"}));
}

TEST(ToolObject, ReadsLikeTheMenuBarsTool) {
  for (const Tool& tool : Tools()) {
    ObjectRef object = MakeToolObject(tool);
    EXPECT_EQ(GetMember(object, u"Name"), Variant::Str(String(tool.name)));
    EXPECT_EQ(GetMember(object, u"name"), Variant::Str(String(tool.name)));
    EXPECT_EQ(GetMember(object, u"ID"), Variant::Long(tool.id));
    EXPECT_EQ(GetMember(object, u"Caption"), Variant::Str(String(tool.caption)));
  }
  ObjectRef object = MakeToolObject(*FindTool(1));
  EXPECT_THROW(GetMember(object, u"Tag"), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kNoSuchMember);
  EXPECT_THROW(LetMember(object, u"Name", Variant::Str(u"x")), RaisedError);
  EXPECT_EQ(GetMember(object, u"Name"), Variant::Str(u"mnuVIP_ViewAll"));
}

TEST(ToolObject, ClickOnTheRealToolObject) {
  Recorder recorder;
  OnToolClick(MakeToolObject(*FindTool(u"mnuSet_Offset")), recorder);
  EXPECT_EQ(recorder.calls, (Calls{"AddToText(You click: mnuSet_Offset)", "ShowBranchSetup"}));
}

}  // namespace
}  // namespace wb::console
