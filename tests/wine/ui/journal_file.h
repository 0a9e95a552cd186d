// The reference suite's journal file (JSON lines, appended as calls happen),
// read back in the tests' short form (tests/support/journal_line.h).
#pragma once

#include <string>
#include <vector>

namespace wbui {

class JournalFile {
 public:
  explicit JournalFile(std::string path) : path_(std::move(path)) {}
  // The entries written since the last call.
  std::vector<std::string> Take();

 private:
  std::string path_;
  size_t offset_ = 0;
};

}  // namespace wbui
