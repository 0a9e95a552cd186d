// The runtime errors that the system itself raises, or maps a failure of a
// call to: their numbers here, their texts beside them in runtime_errors.cc.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace wb::rt {

inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kOutOfStackSpace = 28;
inline constexpr int32_t kInternalError = 51;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectUnloaded = 364;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kNoInterface = 430;
inline constexpr int32_t kNoSuchMember = 438;
inline constexpr int32_t kAutomationError = 440;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kBadVarType = 458;

// The Source of runtime errors: the project's name.
inline constexpr char16_t kRuntimeSource[] = u"Workbench";

// The runtime's description for `number`; a generic text for numbers it does
// not know.
String Describe(int32_t number);

}  // namespace wb::rt
