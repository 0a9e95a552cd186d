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

struct Event {
  uint64_t line = 0;
  EventKind kind = EventKind::kHostEnter;
  std::string time;
  int64_t pid = 0;
  int64_t thread = 0;
  // The whole line without the fields that are not known: what the replay's
  // trace must repeat.
  Json fields;

  bool IsMemberCall() const {
    return kind == EventKind::kGet || kind == EventKind::kCall || kind == EventKind::kLet;
  }
  bool IsComponentEvent() const {
    return kind >= EventKind::kCreate && kind <= EventKind::kRelease;
  }
  std::string Text(const char* key) const;
  // "DEVOVIZoruze(1800201)", "ShowWorkbenchForm()".
  std::string HostCallName() const;
  // "Finder.OneRecordPick.Show".
  std::string MemberName() const;
};

struct ReadLine {
  std::optional<Event> event;
  // Not a trace line: why (empty when it is one, or an unknown event).
  std::string problem;
  // An event that this reader does not know (a newer trace).
  std::string unknown_event;
  // Fields that this reader does not know, as "event.field"; taken out.
  std::vector<std::string> unknown_fields;
};

// Reads the JSON text of line `number`.
ReadLine ReadEvent(std::string_view text, uint64_t number);

}  // namespace replay
