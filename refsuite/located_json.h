// JSON text parsed together with the line on which each of its values starts,
// so that a problem found later in a value can be reported at its line.
//
// Text from outside is read within limits, without recursion: a value nested
// deeper than `JsonLimits::max_depth`, a key given twice in one object and a
// NUL byte (which would end the text early for the parser) are refused and
// named; parsing is linear in the text's size.
#pragma once

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

namespace refsuite {

// A syntax error, or a limit that the text passes: the line it was found on
// and the explanation.
struct JsonSyntaxError : std::runtime_error {
  JsonSyntaxError(int line_number, const std::string& problem)
      : std::runtime_error(problem), line(line_number) {}
  int line;
};

// A text refused for passing a limit, or for a NUL byte: `kind` says which
// ("nul", "depth", "duplicate", "key", "values"); for "duplicate" and "key",
// `subject` is the key (its start, up to the limit) and `size` its size.
struct JsonLimitError : JsonSyntaxError {
  JsonLimitError(int line_number,
                 const std::string& problem,
                 const char* what_kind,
                 std::string what_subject = {},
                 size_t subject_size = 0)
      : JsonSyntaxError(line_number, problem),
        kind(what_kind),
        subject(std::move(what_subject)),
        size(subject_size) {}
  const char* kind;
  std::string subject;
  size_t size;
};

struct JsonLimits {
  // Arrays and objects nested deeper than this are refused: no document this
  // system reads needs more, and every walk of a value stays shallow.
  static constexpr size_t kMaxDepth = 64;
  size_t max_depth = kMaxDepth;
  // A longer object key is refused (bytes).
  size_t max_key = std::numeric_limits<size_t>::max();
  // More values (scalars, arrays and objects) than this are refused.
  size_t max_values = std::numeric_limits<size_t>::max();
};

// Parses `text` as one JSON document within `limits`; `values` (when given)
// gets the number of values it holds. Throws `JsonSyntaxError`, or
// `JsonLimitError` for a limit passed.
nlohmann::json ParseJson(std::string_view text,
                         const JsonLimits& limits = {},
                         size_t* values = nullptr);

class LocatedJson {
 public:
  // Throws `JsonSyntaxError` for text that is not JSON or passes the default
  // limits.
  static LocatedJson Parse(std::string_view text);

  const nlohmann::json& value() const { return value_; }
  // The line (1-based) where the value at `pointer` (a JSON pointer such as
  // "/components/Loyalty.CPlan/Show") starts; for a pointer that was not seen,
  // the line of its nearest ancestor. Reads the text again: meant for
  // reporting a problem, once.
  int LineOf(const std::string& pointer) const;

  // `parent` extended by one object key or array index, escaped as JSON
  // pointers escape ("~" as "~0", "/" as "~1").
  static std::string Child(const std::string& parent, std::string_view key);
  static std::string Child(const std::string& parent, size_t index);

 private:
  nlohmann::json value_;
  std::string text_;
};

}  // namespace refsuite
