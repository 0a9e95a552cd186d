// The reference suite's journal file (JSON lines, appended as calls happen),
// read back in the short form of the stand-in suite's journal:
//   new <ProgID> | free <ProgID> | <ProgID> [let ]<Member>(<Kind> <value>, ...)
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

// One journal line in the short form; "" for events without one.
std::string ShortEntry(const std::string& json_line);

}  // namespace wbui
