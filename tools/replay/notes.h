// What cannot be replayed, gathered while a trace is read: one line per
// subject (a kind of problem and what it concerns), however often it
// happens, with the trace line where it happened first.
#pragma once

#include <algorithm>
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

  // The longest key and text kept: what a note holds of a trace is shown
  // and cut already (shown.h), so this only guards.
  static constexpr size_t kMaxKey = 256;
  static constexpr size_t kMaxText = 1024;

  // `key` names the subject; `line` 0 when the note concerns no one line.
  void Add(std::string key, uint64_t line, std::string text) {
    key.resize(std::min(key.size(), kMaxKey));
    if (text.size() > kMaxText) {
      size_t end = kMaxText;
      while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
      text.resize(end);
      text += "...";
    }
    auto it = index_.find(key);
    if (it != index_.end()) {
      ++notes_[it->second].count;
      return;
    }
    if (notes_.size() >= kMaxNotes) {
      ++dropped_;
      return;
    }
    index_.emplace(std::move(key), notes_.size());
    notes_.push_back({std::move(text), line, 1});
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
