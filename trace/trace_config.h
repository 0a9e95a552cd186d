// Where the field trace's configuration comes from, and which place decides
// each setting. Four places, read once per process, first to last:
//
//   the machine's policy   HKEY_LOCAL_MACHINE\Software\Policies\Workbench
//   the user's policy      HKEY_CURRENT_USER\Software\Policies\Workbench
//   the environment        WORKBENCH_TRACE, WORKBENCH_TRACE_LIMIT
//   the user's settings    HKEY_CURRENT_USER\Software\Workbench
//
// The first place that sets a value decides it, the file and the limit each
// on its own; a value that decides but cannot be used is refused (the file:
// the trace is off; the limit: the default), never passed on to a later
// place. TraceAllowed = 0 in either policy switches the trace off whatever
// the others say. Each width reads its own view of the registry, as the
// system gives it. The native build has the environment alone.
//
// DecideTrace is the decision alone, over what each place holds;
// ReadTracePlaces (one .cc per platform) reads the places.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wb::trace {

// The registry's names. The administrative template (trace/policy/) names
// the same keys and values; trace/trace_config_test.cc holds it to these.
inline constexpr char16_t kPolicyKey[] = u"Software\\Policies\\Workbench";
inline constexpr char16_t kSettingsKey[] = u"Software\\Workbench";
inline constexpr char16_t kTraceFileValue[] = u"TraceFile";
inline constexpr char16_t kTraceLimitValue[] = u"TraceLimit";
inline constexpr char16_t kTraceAllowedValue[] = u"TraceAllowed";
// Every value read under kPolicyKey.
inline constexpr const char16_t* kPolicyValues[] = {kTraceFileValue, kTraceLimitValue,
                                                    kTraceAllowedValue};

// The longest text taken from a policy, in UTF-16 units, as stored and as
// expanded (the longest path Windows opens); a longer one is unreadable.
inline constexpr size_t kMaxPolicyText = 32767;

// The size past which the trace stops, when no place sets one.
inline constexpr uint64_t kDefaultTraceLimit = 64ull << 20;
// The most a policy's TraceLimit can say as a DWORD (its least is 1).
inline constexpr uint64_t kMaxPolicyLimit = 0xFFFFFFFF;

enum class Place { kMachinePolicy, kUserPolicy, kEnvironment, kUserSettings };
inline constexpr size_t kPlaceCount = 4;

// One value as one place holds it.
struct Setting {
  enum Kind {
    kUnset,       // absent (an empty text is absent too)
    kText,        // a string, in `text` (UTF-8)
    kNumber,      // a DWORD, in `number`
    kUnreadable,  // present, but of another type, too long, or not read
  };
  Kind kind = kUnset;
  std::string text;
  uint64_t number = 0;
  // A policy's REG_EXPAND_SZ, already expanded in `text`.
  bool expanded = false;
};

struct PlaceSettings {
  Setting file, limit, allowed;  // TraceFile, TraceLimit, TraceAllowed
};
using TracePlaces = std::array<PlaceSettings, kPlaceCount>;  // indexed by Place

// Why the value that decided was not used.
enum class Refusal {
  kNone,
  kUnreadable,  // of a type the value cannot have, too long, or not read
  kUnexpanded,  // an expanded path that still holds a %variable%
  kNotANumber,  // a limit that is no decimal number
  kTooLong,     // a limit of more than 19 digits (it is never wrapped)
  kZero,        // a limit of 0
};

struct TraceDecision {
  std::string path;  // the file (UTF-8); empty: the trace is off
  // The path came from a policy: its last folder may be made.
  bool make_folder = false;
  uint64_t limit = kDefaultTraceLimit;
  std::optional<Place> forbidden_by;  // the policy whose TraceAllowed forbids
  std::optional<Place> path_from, limit_from;
  Refusal path_refused = Refusal::kNone, limit_refused = Refusal::kNone;
};

TraceDecision DecideTrace(const TracePlaces& places);

// The limit that `text` states, as a decimal number with spaces or tabs
// around it, or why it states none.
Refusal ParseLimit(std::string_view text, uint64_t& limit);

// Every place as this process sees it now.
TracePlaces ReadTracePlaces();

}  // namespace wb::trace
