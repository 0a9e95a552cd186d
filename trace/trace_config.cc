#include "trace/trace_config.h"

namespace wb::trace {

namespace {

bool IsPolicy(Place place) {
  return place == Place::kMachinePolicy || place == Place::kUserPolicy;
}

// Whether `setting` decides its value: anything but an absent or empty one.
bool Sets(const Setting& setting) {
  return setting.kind != Setting::kUnset &&
         !(setting.kind == Setting::kText && setting.text.empty());
}

// A policy's TraceAllowed forbids at 0; one that is not a DWORD is taken as
// the stricter reading, for nobody but the policy's author can have put it
// there.
bool Forbids(const Setting& allowed) {
  return Sets(allowed) && !(allowed.kind == Setting::kNumber && allowed.number != 0);
}

}  // namespace

Refusal ParseLimit(std::string_view text, uint64_t& limit) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
    return Refusal::kNotANumber;
  // Nineteen digits always fit in 64 bits; more are refused, not wrapped.
  if (text.size() > 19)
    return Refusal::kTooLong;
  uint64_t value = 0;
  for (const char c : text)
    value = value * 10 + static_cast<uint64_t>(c - '0');
  if (value == 0)
    return Refusal::kZero;
  limit = value;
  return Refusal::kNone;
}

TraceDecision DecideTrace(const TracePlaces& places) {
  TraceDecision decision;
  for (size_t i = 0; i < kPlaceCount; ++i) {
    const Place place = static_cast<Place>(i);
    if (IsPolicy(place) && Forbids(places[i].allowed)) {
      decision.forbidden_by = place;
      return decision;
    }
  }
  for (size_t i = 0; i < kPlaceCount && !decision.path_from; ++i) {
    const Setting& file = places[i].file;
    if (!Sets(file))
      continue;
    decision.path_from = static_cast<Place>(i);
    if (file.kind != Setting::kText) {
      decision.path_refused = Refusal::kUnreadable;
    } else if (file.expanded && file.text.find('%') != std::string::npos) {
      // A variable that the process does not have is left as it was
      // written; it would name a folder "%NAME%".
      decision.path_refused = Refusal::kUnexpanded;
    } else {
      decision.path = file.text;
      decision.make_folder = IsPolicy(*decision.path_from);
    }
  }
  for (size_t i = 0; i < kPlaceCount && !decision.limit_from; ++i) {
    const Setting& limit = places[i].limit;
    if (!Sets(limit))
      continue;
    decision.limit_from = static_cast<Place>(i);
    uint64_t value = 0;
    if (limit.kind == Setting::kText) {
      decision.limit_refused = ParseLimit(limit.text, value);
    } else if (limit.kind == Setting::kNumber) {
      value = limit.number;
      decision.limit_refused = value == 0 ? Refusal::kZero : Refusal::kNone;
    } else {
      decision.limit_refused = Refusal::kUnreadable;
    }
    if (decision.limit_refused == Refusal::kNone)
      decision.limit = value;
  }
  return decision;
}

}  // namespace wb::trace
