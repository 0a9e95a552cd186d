// Conversions and tests on `Variant`s with the runtime's semantics. Each raises
// through `Err` when the value has no such form: Null gives 94 (invalid use of
// Null), a value of the wrong kind 13 (type mismatch), a number out of range
// 6 (overflow), an object without a default value 438.
#pragma once

#include <cstdint>

#include "core/variant.h"

namespace wb {

// An object's default value (read until it is no object); other values as
// they are. Nothing raises 91.
Variant ValueOf(const Variant& value);

String ToString(const Variant& value);    // CStr
bool ToBool(const Variant& value);        // CBool
int32_t ToLong(const Variant& value);     // CLng, rounding half to even
int16_t ToInteger(const Variant& value);  // CInt
double ToDouble(const Variant& value);    // CDbl

// `Not value`: the bitwise complement of a number, the negation of a Boolean,
// Null for Null.
Variant Not(const Variant& value);

// Whether a condition of this value takes its positive branch: non-zero is
// true; Null is not.
bool ConditionHolds(const Variant& value);

// The answer test of the launchers, made on the negation of the answer: True
// (-1) and Null pass; False, Empty and every other number fail.
bool PassesAnswerTest(const Variant& answer);

// `value <> text` as a condition: exact text comparison; Empty compares as the
// empty string; Null makes the comparison Null (not true); a number always
// differs from a text.
bool DiffersFromText(const Variant& value, StringView text);

}  // namespace wb
