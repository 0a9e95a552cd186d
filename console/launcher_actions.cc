#include "console/launcher_actions.h"

#include "bridge/bridge.h"
#include "bridge/runtime_global.h"
#include "core/variant.h"
#include "launchers/modpublic.h"
#include "session/mmts.h"

namespace wb::console {

void LauncherActions::AddToText(String strLog) {
  console::AddToText(log_, std::move(strLog));
}

void LauncherActions::ShowMemberLookup() {
  modpublic::ShowMemberLookup();
}

void LauncherActions::ShowMemberPoints(String strVIPNumber) {
  modpublic::ShowMemberPoints(std::move(strVIPNumber));
}

void LauncherActions::ShowLoyaltyPlan() {
  modpublic::ShowLoyaltyPlan();
}

void LauncherActions::ShowKeyMap() {
  modpublic::ShowKeyMap();
}

void LauncherActions::ShowReceiptRoll() {
  modpublic::ShowReceiptRoll();
}

void LauncherActions::RunDayEnd(bool reverse, String strUser, String strCode) {
  modpublic::RunDayEnd(reverse, std::move(strUser), std::move(strCode));
}

void LauncherActions::ShowBranchSetup() {
  modpublic::ShowBranchSetup();
}

String LauncherActions::GetSessionUser() {
  return mmts::GetSessionUser();
}

void LauncherActions::UnloadConsole() {
  Args args;
  args.push_back(Arg::Val(Variant::Object(ObjectRef(&form_))));
  CallMember(RuntimeGlobal(), u"Unload", std::move(args));
}

}  // namespace wb::console
