// Shared fixture of the suite's tests: the native suite installed with the
// default scenario, an empty journal, and no instance left behind.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "bridge/bridge.h"
#include "core/err.h"
#include "core/trap.h"
#include "refsuite/native.h"

namespace refsuite::testing {

class RefSuiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallNative();
    ResetScenario();
    ClearJournal();
  }
  void TearDown() override {
    EXPECT_EQ(TotalLive(), 0) << "an instance was not released";
    ResetScenario();
  }
};

// The journal entries of one kind ("create", "call", ...), in order.
inline std::vector<nlohmann::json> EntriesOf(const std::string& event) {
  std::vector<nlohmann::json> out;
  for (const auto& entry : Journal()) {
    if (entry.at("event") == event)
      out.push_back(entry);
  }
  return out;
}

}  // namespace refsuite::testing
