// A GoogleTest fixture that runs the modules against the reference suite's
// native binding: a fresh scenario, journal and thread state per test, the
// notices captured, and every component released at the end.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/err.h"
#include "core/trap.h"
#include "launchers/modpublic.h"

namespace wb::testing {

class SuiteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A scenario laid over the bundled default (JSON text).
  void UseScenario(const std::string& json);

  // The journal since the test began (or since ForgetCalls), one line a
  // creation, call or release (tests/support/journal_line.h).
  std::vector<std::string> Calls() const;
  // Only the lines that start with `prefix`.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
  void ForgetCalls();
  std::vector<nlohmann::json> JournalEntries() const;

  // The notices shown since the test began.
  std::vector<modpublic::Notice> notices;
  // Called for each notice as it is shown (before it is recorded).
  std::function<void(const modpublic::Notice&)> on_notice;
};

// A UTF-8 view of a UTF-16 text, for readable failure messages.
std::string U8(const String& text);

}  // namespace wb::testing

namespace wb {
// Readable error records and texts in test failures.
void PrintTo(const ErrRecord& error, std::ostream* out);
}  // namespace wb
