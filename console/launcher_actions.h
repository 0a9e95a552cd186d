// The console's tool actions bound to what they stand for: its log box, the
// launchers of modPublic, the session's user name, and the runtime's Unload
// of the console form.
#pragma once

#include "console/log_box.h"
#include "console/tool_actions.h"
#include "core/automation_object.h"

namespace wb::console {

class LauncherActions final : public ToolActions {
 public:
  // `form` is the console window's object, handed to the runtime's Unload;
  // both it and `log` outlive this object.
  LauncherActions(LogBox& log, AutomationObject& form) : log_(log), form_(form) {}

  void AddToText(String strLog) override;
  void ShowMemberLookup() override;
  void ShowMemberPoints(String strVIPNumber) override;
  void ShowLoyaltyPlan() override;
  void ShowKeyMap() override;
  void ShowReceiptRoll() override;
  void RunDayEnd(bool reverse, String strUser, String strCode) override;
  void ShowBranchSetup() override;
  String GetSessionUser() override;
  void UnloadConsole() override;

 private:
  LogBox& log_;
  AutomationObject& form_;
};

}  // namespace wb::console
