#include "tests/wine/ui/journal_file.h"

#include <fstream>
#include <sstream>

namespace wbui {

namespace {

// The text of the string member `key` at or after `from`; "" when absent.
std::string StringField(const std::string& json, const std::string& key, size_t from = 0) {
  const std::string marker = "\"" + key + "\":\"";
  const size_t start = json.find(marker, from);
  if (start == std::string::npos)
    return {};
  std::string value;
  for (size_t i = start + marker.size(); i < json.size() && json[i] != '"'; ++i) {
    if (json[i] == '\\' && i + 1 < json.size())
      ++i;
    value += json[i];
  }
  return value;
}

// "Kind value" for each {"byref":..,"type":..,"value":..} of the args array.
std::string Args(const std::string& json) {
  const size_t start = json.find("\"args\":[");
  if (start == std::string::npos)
    return {};
  const size_t end = json.find("],\"event\"", start);
  std::string out;
  for (size_t at = json.find("\"type\":\"", start); at != std::string::npos && at < end;
       at = json.find("\"type\":\"", at + 1)) {
    const std::string kind = StringField(json, "type", at);
    const size_t value_at = json.find("\"value\":", at) + 8;
    std::string value;
    if (json[value_at] == '"') {
      value = StringField(json, "value", at);
    } else {
      const size_t stop = json.find_first_of(",}", value_at);
      value = json.substr(value_at, stop - value_at);
      if (value == "true")
        value = "True";
      if (value == "false")
        value = "False";
    }
    out += (out.empty() ? "" : ", ") + kind + " " + value;
  }
  return out;
}

}  // namespace

std::string ShortEntry(const std::string& line) {
  const std::string event = StringField(line, "event");
  const std::string prog_id = StringField(line, "progid");
  if (event == "create")
    return "new " + prog_id;
  if (event == "release")
    return "free " + prog_id;
  if (event == "let" || event == "get" || event == "call") {
    return prog_id + (event == "let" ? " let " : " ") + StringField(line, "member") + "(" +
           Args(line) + ")";
  }
  return event.empty() ? std::string() : event + " " + prog_id;
}

std::vector<std::string> JournalFile::Take() {
  std::ifstream file(path_, std::ios::binary);
  std::stringstream all;
  all << file.rdbuf();
  const std::string text = all.str();
  std::vector<std::string> entries;
  size_t at = offset_;
  for (size_t end = text.find('\n', at); end != std::string::npos; end = text.find('\n', at)) {
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const std::string entry = ShortEntry(line);
    if (!entry.empty())
      entries.push_back(entry);
    at = end + 1;
  }
  offset_ = at;
  return entries;
}

}  // namespace wbui
