// One line of the field trace (trace/trace.h) read back: its event, checked
// against the shape that Workbench writes, with the fields this reader does
// not know taken out and named, so that a line from a newer Workbench still
// serves as far as it is understood.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace replay {

using Json = nlohmann::json;

enum class EventKind {
  kHostEnter,
  kHostLeave,
  kHostRefused,
  kCreate,
  kCreateFailed,
  kGet,
  kCall,
  kLet,
  kRelease,
  kNotice,
};

// A trace line is read within these: a line nests a few levels, and its
// field names are short (a longer one is no trace's).
inline constexpr size_t kMaxFieldName = 64;
inline constexpr size_t kMaxLineValues = 65536;

struct Event {
  uint64_t line = 0;
  EventKind kind = EventKind::kHostEnter;
  std::string time;
  // From 0 to 2^32 - 1, and 2^63 - 1: no two ids of the trace read as one.
  int64_t pid = 0;
  int64_t thread = 0;
  // The whole line without the fields that are not known: what the replay's
  // trace must repeat.
  Json fields;
  // The line's size, and about what `fields` takes in memory.
  uint64_t size = 0;
  uint64_t cost = 0;
  // A value of the line that the replay cannot give back as it was (out of
  // its type's range): why, shown, and its host call is not replayed.
  std::string unreplayable;

  bool IsMemberCall() const {
    return kind == EventKind::kGet || kind == EventKind::kCall || kind == EventKind::kLet;
  }
  bool IsComponentEvent() const {
    return kind >= EventKind::kCreate && kind <= EventKind::kRelease;
  }
  std::string Text(const char* key) const;
  // "DEVOVIZoruze(1800201)", "ShowWorkbenchForm()", shown (shown.h).
  std::string HostCallName() const;
  // "Finder.OneRecordPick.Show", shown.
  std::string MemberName() const;
};

struct ReadLine {
  std::optional<Event> event;
  // Not a trace line: why (empty when it is one, or an unknown event), and
  // which kind of problem, to count alike ones together.
  std::string problem;
  std::string problem_kind;
  // An event that this reader does not know (a newer trace).
  std::string unknown_event;
  // Fields that this reader does not know, as "event.field"; taken out.
  std::vector<std::string> unknown_fields;
};

// Reads the JSON text of line `number`.
ReadLine ReadEvent(std::string_view text, uint64_t number);

}  // namespace replay
