#include "console/tool_click.h"

#include <array>

#include "bridge/bridge.h"
#include "bridge/convert.h"

namespace wb::console {

namespace {

void DayEnd(ToolActions& actions, bool reverse) {
  const String user = actions.GetSessionUser();
  actions.RunDayEnd(reverse, user, kDayEndCode);
}

struct Route {
  StringView tool_name;
  void (*action)(ToolActions&);
};

// Compared in this order; the first equal name wins.
constexpr std::array<Route, 9> kRoutes = {{
    {u"mnuVIP_ViewAll", [](ToolActions& a) { a.ShowMemberLookup(); }},
    {u"mnuVIP_ViewScore", [](ToolActions& a) { a.ShowMemberPoints(kConsoleVIPNumber); }},
    {u"mnuVIP_Sheme", [](ToolActions& a) { a.ShowLoyaltyPlan(); }},
    {u"mnuOther_HotKey", [](ToolActions& a) { a.ShowKeyMap(); }},
    {u"mnuOther_Bill", [](ToolActions& a) { a.ShowReceiptRoll(); }},
    {u"mnuOther_ReckoningDaily", [](ToolActions& a) { DayEnd(a, false); }},
    {u"mnuOther_ReckoningDailyOver", [](ToolActions& a) { DayEnd(a, true); }},
    {u"mnuOther_Exit", [](ToolActions& a) { a.UnloadConsole(); }},
    {u"mnuSet_Offset", [](ToolActions& a) { a.ShowBranchSetup(); }},
}};

String ToolName(const ObjectRef& tool) {
  return ToString(GetMember(tool, u"Name"));
}

}  // namespace

void OnToolClick(const ObjectRef& tool, ToolActions& actions) {
  actions.AddToText(u"You click: " + ToolName(tool));
  const String name = ToolName(tool);
  for (const Route& route : kRoutes) {
    if (name == route.tool_name) {
      route.action(actions);
      return;
    }
  }
}

}  // namespace wb::console
