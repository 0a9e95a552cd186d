// JSON text parsed together with the line on which each of its values starts,
// so that a problem found later in a value can be reported at its line.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace refsuite {

// A syntax error: the line it was found on and the parser's explanation.
struct JsonSyntaxError : std::runtime_error {
  JsonSyntaxError(int line_number, const std::string& problem)
      : std::runtime_error(problem), line(line_number) {}
  int line;
};

class LocatedJson {
 public:
  // Throws `JsonSyntaxError` for text that is not JSON.
  static LocatedJson Parse(std::string_view text);

  const nlohmann::json& value() const { return value_; }
  // The line (1-based) where the value at `pointer` (a JSON pointer such as
  // "/components/Loyalty.CPlan/Show") starts; for a pointer that was not seen,
  // the line of its nearest ancestor.
  int LineOf(const std::string& pointer) const;

  // `parent` extended by one object key or array index, escaped as JSON
  // pointers escape ("~" as "~0", "/" as "~1").
  static std::string Child(const std::string& parent, std::string_view key);
  static std::string Child(const std::string& parent, size_t index);

 private:
  nlohmann::json value_;
  std::map<std::string, int> lines_;
};

}  // namespace refsuite
