// The journal: every creation, failed creation, release and member call of
// the suite's components, kept in memory and, when WB_SUITE_JOURNAL names a
// file, appended to it as one JSON object per line.
#pragma once

#include <vector>
#include "refsuite/mutex.h"

#include <nlohmann/json.hpp>

namespace refsuite {

class CallJournal {
 public:
  // Adds "pid" and appends the entry. Never throws.
  void Write(nlohmann::json entry) noexcept;
  std::vector<nlohmann::json> Entries() const;
  void Clear();
  // The COM server keeps no journal in memory (nobody reads it there).
  void KeepInMemory(bool keep);

 private:
  mutable Mutex mutex_;
  bool keep_in_memory_ = true;
  std::vector<nlohmann::json> entries_;
};

}  // namespace refsuite
