// The function-id dispatch of `CWorkbench.DEVOVIZoruze`, free of COM: the
// entry class (and the native tests) call it.
#pragma once

#include <cstdint>

namespace wb::entry {

// Function ids.
inline constexpr int32_t kBranchSetup = 1800101;
inline constexpr int32_t kMemberLookup = 1800201;
inline constexpr int32_t kLoyaltyPlan = 1800301;
inline constexpr int32_t kReceiptRoll = 1800401;
inline constexpr int32_t kReport = 1800601;

// Every function id with its name (the constant's, without the k), in the
// order above; the tests and tools read the ids from here.
struct FunctionId {
  int32_t id;
  const char* name;
};
inline constexpr FunctionId kFunctionIds[] = {
    {kBranchSetup, "BranchSetup"}, {kMemberLookup, "MemberLookup"},
    {kLoyaltyPlan, "LoyaltyPlan"}, {kReceiptRoll, "ReceiptRoll"},
    {kReport, "Report"},
};

// Runs the store function for `detail_func_id`; an id outside the table does
// nothing. An error that escapes the launcher raises through Err with the same
// Number and Source, the translated prefix "调用门店函数出错。原因：" followed by
// the translated description, and the same HelpFile and HelpContext.
void DEVOVIZoruze(int32_t detail_func_id);

}  // namespace wb::entry
