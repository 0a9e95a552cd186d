// What a click on a console tool can do: write the console's log, run a store
// function, read the session's user name, or unload the console. The console
// window binds these to its log box, the launchers and the runtime's Unload;
// tests bind them to a recorder.
#pragma once

#include "core/text.h"

namespace wb::console {

class ToolActions {
 public:
  virtual ~ToolActions() = default;

  // `AddToText` of the console window itself.
  virtual void AddToText(String strLog) = 0;

  // Store functions; their Boolean results are not looked at.
  virtual void ShowMemberLookup() = 0;
  virtual void ShowMemberPoints(String strVIPNumber) = 0;
  virtual void ShowLoyaltyPlan() = 0;
  virtual void ShowKeyMap() = 0;
  virtual void ShowReceiptRoll() = 0;
  virtual void RunDayEnd(bool reverse, String strUser, String strCode) = 0;
  virtual void ShowBranchSetup() = 0;

  virtual String GetSessionUser() = 0;

  // Unloads the console window through the runtime's global object.
  virtual void UnloadConsole() = 0;
};

}  // namespace wb::console
