// The reference suite's journal (WB_SUITE_JOURNAL, one JSON object a line),
// as the proof clients use it: switched on and off inside the process, read
// back, marked by the host, and summed up per ProgID.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace wbproof {

using Entry = nlohmann::json;

// The journal file named by WB_SUITE_JOURNAL ("" when unset).
std::wstring SuiteJournalPath();
// Names the file the suite appends to from now on; "" turns journaling off.
// The suite reads the variable at every entry.
void SetSuiteJournal(const std::wstring& path);

// Every line, in order; a line that does not parse is an entry
// {"event":"unreadable","text":...}.
std::vector<Entry> ReadJournal(const std::wstring& path);
// Appends {"event":"mark","mark":text}: lets a reader tell what happened
// before and after a point of the host's run.
void AppendMark(const std::wstring& path, const std::string& text);
// Index of the first mark `text`; entries.size() when there is none.
size_t FindMark(const std::vector<Entry>& entries, const std::string& text);

// Creations and releases of each ProgID among entries [from, to), and the
// last live count each one reported.
struct Lives {
  std::map<std::string, int> created;
  std::map<std::string, int> released;
  std::map<std::string, int> last_live;
  int unreadable = 0;  // lines that did not parse
};
Lives LivesIn(const std::vector<Entry>& entries, size_t from = 0, size_t to = SIZE_MAX);
// "" when every creation was released, every ProgID ended at live 0 and every
// line could be read; otherwise what is left, for a message.
std::string Leftovers(const Lives& lives);

// The entries of [from, to) that are component calls (get, call, let).
int CountCalls(const std::vector<Entry>& entries,
               size_t from,
               size_t to,
               const std::string& event = "",
               const std::string& prog_id = "");
int CountEvents(const std::vector<Entry>& entries,
                size_t from,
                size_t to,
                const std::string& event,
                const std::string& prog_id = "");

// The string member `key` of an entry ("" when absent or not a string).
std::string Text(const Entry& entry, const char* key);

}  // namespace wbproof
