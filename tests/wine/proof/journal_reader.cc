#include "tests/wine/proof/journal_reader.h"

#include <windows.h>

#include <cstdio>
#include <memory>

namespace wbproof {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool IsCall(const std::string& event) {
  return event == "get" || event == "call" || event == "let";
}

}  // namespace

std::wstring SuiteJournalPath() {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD got = GetEnvironmentVariableW(L"WB_SUITE_JOURNAL", buffer, MAX_PATH * 2);
  return got > 0 && got < MAX_PATH * 2 ? std::wstring(buffer, got) : std::wstring();
}

void SetSuiteJournal(const std::wstring& path) {
  SetEnvironmentVariableW(L"WB_SUITE_JOURNAL", path.empty() ? nullptr : path.c_str());
}

std::vector<Entry> ReadJournal(const std::wstring& path) {
  std::vector<Entry> entries;
  File file(_wfopen(path.c_str(), L"rb"));
  if (!file)
    return entries;
  std::string text;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    text.append(buffer, got);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    if (end > start) {
      Entry entry = Entry::parse(text.begin() + static_cast<std::ptrdiff_t>(start),
                                 text.begin() + static_cast<std::ptrdiff_t>(end), nullptr, false);
      // A line that does not parse is kept as such: a lost creation must not
      // pass for no creation (Leftovers reports it).
      if (entry.is_discarded())
        entry = Entry{{"event", "unreadable"}, {"text", text.substr(start, end - start)}};
      entries.push_back(std::move(entry));
    }
    start = end + 1;
  }
  return entries;
}

void AppendMark(const std::wstring& path, const std::string& text) {
  File file(_wfopen(path.c_str(), L"ab"));
  if (!file)
    return;
  const std::string line = Entry{{"event", "mark"}, {"mark", text}}.dump() + "\n";
  std::fwrite(line.data(), 1, line.size(), file.get());
}

size_t FindMark(const std::vector<Entry>& entries, const std::string& text) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (Text(entries[i], "event") == "mark" && Text(entries[i], "mark") == text)
      return i;
  }
  return entries.size();
}

Lives LivesIn(const std::vector<Entry>& entries, size_t from, size_t to) {
  Lives lives;
  for (size_t i = from; i < entries.size() && i < to; ++i) {
    const Entry& e = entries[i];
    const std::string event = Text(e, "event");
    if (event == "unreadable")
      ++lives.unreadable;
    if (event != "create" && event != "release")
      continue;
    const std::string prog_id = Text(e, "progid");
    ++(event == "create" ? lives.created : lives.released)[prog_id];
    if (e.contains("live") && e["live"].is_number_integer())
      lives.last_live[prog_id] = e["live"].get<int>();
  }
  return lives;
}

std::string Leftovers(const Lives& lives) {
  std::string out;
  if (lives.unreadable != 0)
    out += std::to_string(lives.unreadable) + " journal lines could not be read; ";
  for (const auto& [prog_id, created] : lives.created) {
    auto released = lives.released.find(prog_id);
    const int gone = released == lives.released.end() ? 0 : released->second;
    if (gone != created) {
      out += prog_id + ": " + std::to_string(created) + " created, " + std::to_string(gone) +
             " released; ";
    }
  }
  for (const auto& [prog_id, live] : lives.last_live) {
    if (live != 0)
      out += prog_id + " ends at live " + std::to_string(live) + "; ";
  }
  return out;
}

int CountCalls(const std::vector<Entry>& entries,
               size_t from,
               size_t to,
               const std::string& event,
               const std::string& prog_id) {
  int count = 0;
  for (size_t i = from; i < entries.size() && i < to; ++i) {
    const std::string e = Text(entries[i], "event");
    if (!IsCall(e) || (!event.empty() && e != event))
      continue;
    if (prog_id.empty() || Text(entries[i], "progid") == prog_id)
      ++count;
  }
  return count;
}

int CountEvents(const std::vector<Entry>& entries,
                size_t from,
                size_t to,
                const std::string& event,
                const std::string& prog_id) {
  int count = 0;
  for (size_t i = from; i < entries.size() && i < to; ++i) {
    if (Text(entries[i], "event") == event &&
        (prog_id.empty() || Text(entries[i], "progid") == prog_id))
      ++count;
  }
  return count;
}

std::string Text(const Entry& entry, const char* key) {
  auto it = entry.find(key);
  return it != entry.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace wbproof
