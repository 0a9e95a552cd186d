// One line of the field trace: a JSON object on one line, its fields in the
// order they are added, written by nlohmann-json. Every line begins with
// "time", "pid", "thread" and "event".
//
// Whatever the texts hold, the line is valid JSON: an unpaired surrogate
// becomes U+FFFD (ToUtf8), a control character is escaped, and a number that
// JSON cannot hold is written as the text "NaN", "Infinity" or "-Infinity".
// A text longer than kTextLimit UTF-16 units is cut there (never inside a
// surrogate pair), and its whole length follows it as "<key>_length".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/err.h"
#include "bridge/text.h"
#include "bridge/variant.h"

namespace wb::trace {

using Json = nlohmann::ordered_json;

inline constexpr size_t kTextLimit = 256;

// A value as the suite's journal writes it: {"type": kind, "value": ...}. A
// component that the trace sees is named by its ProgID, {"progid": ...};
// another object is "object", Nothing is null.
Json ValueJson(const Variant& value);

// The arguments of a call, each a value with "byref".
Json ArgsJson(const Args& args);

// The five fields of an error.
Json ErrorJson(const ErrRecord& error);

class TraceLine {
 public:
  // A line of `event`, stamped with the local time, the process and the
  // thread.
  explicit TraceLine(const char* event);

  TraceLine& Text(const char* key, StringView value);
  TraceLine& Field(const char* key, Json value);

  // The line, without its line end.
  std::string Finish() &&;

 private:
  Json fields_;
};

}  // namespace wb::trace
