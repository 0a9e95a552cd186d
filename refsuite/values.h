// Small helpers on `wb::Variant`s that the components and the journal share.
#pragma once

#include <nlohmann/json.hpp>

#include "core/err.h"
#include "core/variant.h"
#include "refsuite/scenario.h"

namespace refsuite {

// A String's text; the empty text for anything else.
wb::String TextOf(const wb::Variant& value);
// A number's value (Currency unscaled, Boolean -1/0); requires IsNumeric(),
// Date or Error.
double NumberOf(const wb::Variant& value);

// Whether an argument matches a scenario pattern: numbers (Booleans included)
// by value whatever their kind, texts exactly, Empty and Null by kind, objects
// and arrays by shape, and `{"type":"Any"}` always.
bool Matches(const ScriptedValue& pattern, const wb::Variant& value);

// The journal's form of a value: {"type": "Long", "value": 3}. Objects of the
// suite show as {"progid": ..., "instance": ...}.
nlohmann::json ValueToJson(const wb::Variant& value);
nlohmann::json ErrorToJson(const wb::ErrRecord& error);

}  // namespace refsuite
