#include "tests/wine/ui/journal_file.h"

#include <fstream>
#include <sstream>

#include "tests/support/journal_line.h"

namespace wbui {

std::vector<std::string> JournalFile::Take() {
  std::ifstream file(path_, std::ios::binary);
  std::stringstream all;
  all << file.rdbuf();
  const std::string text = all.str();
  std::vector<std::string> entries;
  size_t at = offset_;
  for (size_t end = text.find('\n', at); end != std::string::npos; end = text.find('\n', at)) {
    const auto entry = nlohmann::json::parse(text.substr(at, end - at), nullptr, false);
    if (entry.is_object() && entry.contains("event"))
      entries.push_back(wb::testing::JournalLine(entry));
    at = end + 1;
  }
  offset_ = at;
  return entries;
}

}  // namespace wbui
