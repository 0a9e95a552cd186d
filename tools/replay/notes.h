// What cannot be replayed, gathered while a trace is read: one line per
// subject (a kind of problem and what it concerns), however often it
// happens, with the trace line where it happened first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace replay {

class Notes {
 public:
  // Distinct notes kept; the rest are counted.
  static constexpr size_t kMaxNotes = 200;

  // `key` names the subject; `line` 0 when the note concerns no one line.
  void Add(const std::string& key, uint64_t line, const std::string& text) {
    auto it = index_.find(key);
    if (it != index_.end()) {
      ++notes_[it->second].count;
      return;
    }
    if (notes_.size() >= kMaxNotes) {
      ++dropped_;
      return;
    }
    index_.emplace(key, notes_.size());
    notes_.push_back({text, line, 1});
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Note& note : notes_) {
      std::string where;
      if (note.line != 0) {
        where = "line " + std::to_string(note.line);
        if (note.count > 1)
          where += " (and " + std::to_string(note.count - 1) + " more)";
        where += ": ";
      } else if (note.count > 1) {
        where = std::to_string(note.count) + " times: ";
      }
      lines.push_back(where + note.text);
    }
    if (dropped_ != 0)
      lines.push_back(std::to_string(dropped_) + " more things of other kinds (not listed)");
    return lines;
  }

 private:
  struct Note {
    std::string text;
    uint64_t line;
    uint64_t count;
  };
  std::map<std::string, size_t> index_;
  std::vector<Note> notes_;
  uint64_t dropped_ = 0;
};

}  // namespace replay
