// One line of the field trace: a JSON object on one line, its fields in the
// order they are added. Every line begins with "time", "pid", "thread" and
// "event".
//
// The line is kept as text and grows field by field; each text, number and
// Boolean in it is written by nlohmann-json. (A tree of nlohmann values
// allocates while it is destroyed, and a line given up for lack of memory
// must unwind without allocating.)
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

#include "core/err.h"
#include "core/text.h"
#include "core/variant.h"

namespace wb::trace {

using Json = nlohmann::json;

inline constexpr size_t kTextLimit = 256;

// A JSON object or array as text, open until it is closed or nested.
class JsonText {
 public:
  static JsonText Object() { return JsonText('{', '}'); }
  static JsonText Array() { return JsonText('[', ']'); }

  // Members of an object: a text, number, Boolean or null (`leaf` must be
  // none of object and array), or a nested object or array.
  JsonText& Add(const char* key, const Json& leaf);
  JsonText& Add(const char* key, const JsonText& nested);
  // `value`, cut to kTextLimit; when it is cut, `length_key` (by default
  // "<key>_length") follows with its whole length.
  JsonText& AddText(const char* key, StringView value, const char* length_key = nullptr);
  // An element of an array.
  JsonText& Push(const JsonText& nested);

  bool empty() const noexcept { return empty_; }
  std::string Close() &&;

 private:
  JsonText(char open, char close) : text_(1, open), close_(close) {}
  void Key(const char* key);

  std::string text_;
  char close_;
  bool empty_ = true;
};

// A value as the suite's journal writes it: {"type": kind, "value": ...}, open
// for more fields. A component that the trace sees is named by its ProgID,
// {"progid": ...}; another object is "object", Nothing is null.
JsonText ValueJson(const Variant& value);

// The arguments of a call, each a value with "byref".
JsonText ArgsJson(const Args& args);

// The five fields of an error.
JsonText ErrorJson(const ErrRecord& error);

class TraceLine {
 public:
  // A line of `event`, stamped with the local time, the process and the
  // thread.
  explicit TraceLine(const char* event);

  TraceLine& Text(const char* key, StringView value) {
    fields_.AddText(key, value);
    return *this;
  }
  template <class Value>
  TraceLine& Field(const char* key, const Value& value) {
    fields_.Add(key, value);
    return *this;
  }

  // The line, without its line end.
  std::string Finish() && { return std::move(fields_).Close(); }

 private:
  JsonText fields_ = JsonText::Object();
};

}  // namespace wb::trace
