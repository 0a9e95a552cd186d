// Module modPublic: one launcher per store function, and the notice box.
// Every launcher returns True only on its success path; its callers drop it.
#pragma once

#include <cstdint>
#include <functional>

#include "core/text.h"

namespace wb::modpublic {

// Direct launchers: create the component, call its entry method, release it.
// Errors pass through unchanged.
bool ShowKeyMap();
bool ShowReceiptRoll();
bool ShowLoyaltyPlan();
bool ShowMemberLookup();

// Right-checked launchers: a refusal shows a notice and returns False.
bool ShowBranchSetup();
bool ShowMemberPoints(String strVIPNumber);

// Day-end (reverse = False) or reverse day-end (True). Shows its outcome, and
// its own failures, in a notice; never raises.
bool RunDayEnd(bool reverse, String strUser, String strCode);

// Runs a report and shows it in the viewer; the report's own failure raises
// error 5 with Source "GetRptByID".
bool RunReport(String strRptID, String strReportName);

// The per-thread database type that the branch-office setup sends: 0 until
// the console's load sets it to 1.
int16_t& gDataBaseType();

// Message box styles the launchers use.
inline constexpr int32_t kStyleCritical = 16;
inline constexpr int32_t kStyleExclamation = 48;
inline constexpr int32_t kStyleInformation = 64;

// Shows a modal notice: the translated message, on request the translated
// description of the pending error on a second line, under the translated
// title. No trap: an error goes to the calling launcher.
void ShowNotice(const String& strText, int32_t msgStyle, const bool& withDescription);

// Where notices go. On Windows the default sink is a modal MessageBoxW owned by
// the active window; the native build has no default and records nothing
// unless a sink is installed. The sink may raise through Err.
struct Notice {
  String prompt;
  String title;
  int32_t style = 0;
};
using NoticeSink = std::function<void(const Notice&)>;
// Installs the sink for the calling thread; returns the previous one.
NoticeSink SetNoticeSink(NoticeSink sink);

}  // namespace wb::modpublic
