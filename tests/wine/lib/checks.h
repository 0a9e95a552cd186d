// Check reporting for the Windows test programs that the Wine harness runs,
// beside checks.vbs, checks.js and checks.sh: first the plan line `1..N` (the
// number of checks the program will report), then one line per check,
// `ok - <name>` or `not ok - <name>: <details>`; the program exits with the
// number of failures. The harness fails a program that reports other checks
// than it planned: one that stops early or skips a block.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/err.h"
#include "core/text.h"

namespace wbtest {

class Checks {
 public:
  // Before the first check, as soon as the number is known.
  void Plan(int checks) {
    std::printf("1..%d\n", checks);
    std::fflush(stdout);
  }

  void Expect(bool passed, std::string_view name, std::string_view details = {}) {
    if (passed) {
      std::printf("ok - %.*s\n", static_cast<int>(name.size()), name.data());
    } else {
      ++failed_;
      std::printf("not ok - %.*s: %.*s\n", static_cast<int>(name.size()), name.data(),
                  static_cast<int>(details.size()), details.data());
    }
    std::fflush(stdout);
  }

  void ExpectEq(long long actual, long long expected, std::string_view name) {
    Expect(actual == expected, name,
           "got " + std::to_string(actual) + ", want " + std::to_string(expected));
  }

  void ExpectEq(const wb::String& actual, const wb::String& expected, std::string_view name) {
    Expect(actual == expected, name,
           "got \"" + wb::ToUtf8(actual) + "\", want \"" + wb::ToUtf8(expected) + "\"");
  }

  // The program's exit code.
  int Finish() const { return failed_; }

 private:
  int failed_ = 0;
};

// The thread's error record as one line of text.
inline std::string ErrText() {
  const wb::ErrRecord& e = wb::Err::Get();
  return "Err " + std::to_string(e.number) + " (" + wb::ToUtf8(e.source) +
         "): " + wb::ToUtf8(e.description) + " [" + wb::ToUtf8(e.help_file) + " #" +
         std::to_string(e.help_context) + "]";
}

}  // namespace wbtest
