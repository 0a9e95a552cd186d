// The scenario: what the suite's components answer on this run. Parsed from
// JSON (the format is described in refsuite/README.md) and laid over the
// bundled default scenario, a normal store day.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/err.h"
#include "core/variant.h"

namespace refsuite {

// A scenario that cannot be used; the message names the file, the line and
// the problem ("cases.json:12: /components/Loyalty.CPlan/Show/raise: ...").
struct ScenarioError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How a COM caller is told about a scripted error. The native binding only
// raises; the style matters to the COM binding alone.
enum class RaiseStyle {
  kExcepInfo,  // DISP_E_EXCEPTION with a filled EXCEPINFO
  kDeferred,   // EXCEPINFO whose texts come from pfnDeferredFillIn
  kErrorInfo,  // the HRESULT, details through SetErrorInfo
  kHresult,    // the bare HRESULT
  // Not a scenario style: the member is not there (438). The COM binding
  // answers DISP_E_MEMBERNOTFOUND.
  kNoSuchMember,
};

struct ScriptedError {
  wb::ErrRecord record;
  RaiseStyle style = RaiseStyle::kExcepInfo;
};

// A value as the scenario describes it; made into a `wb::Variant` at each use
// so that every answer that is an object is a new object.
struct ScriptedValue {
  enum class Shape {
    kPlain,   // `plain`
    kObject,  // an object whose default member answers `default_value`
    kArray,   // an array (a SAFEARRAY under COM; Unsupported natively)
    kAny,     // argument patterns only: matches every value
  };
  Shape shape = Shape::kPlain;
  wb::Variant plain;
  std::shared_ptr<const ScriptedValue> default_value;  // kObject: null when it has none
};

// What one member call does. The call of the host's hook comes first, then
// the write-backs, then the raise or the value; a member with none of them
// behaves as by default.
struct Answer {
  bool missing = false;
  bool call_host = false;  // runs the calling thread's host hook (host_hook.h)
  std::optional<ScriptedValue> value;
  std::optional<ScriptedError> raise;
  std::map<size_t, ScriptedValue> write_back;  // by 0-based argument position

  bool IsDefault() const {
    return !missing && !call_host && !value && !raise && write_back.empty();
  }
};

// An answer chosen by the call's arguments and/or its ordinal.
struct Rule {
  std::optional<std::vector<ScriptedValue>> args;  // compared position by position
  std::optional<int> nth;                          // nth call of the member on this instance
  std::optional<int> nth_overall;                  // nth call on any instance of the ProgID
  Answer answer;
};

struct MemberScript {
  Answer answer;           // when no rule matches
  std::vector<Rule> when;  // first match wins
};

// A fault laid on one interaction of the run: the `at`-th creation or member
// call (1-based, counted over all components since the scenario was loaded)
// fails once. A member call raises `raise`; a creation fails as an
// uncreatable ProgID does (429), or raises `raise` when `creation_raises`.
struct Injection {
  int at = 0;
  ScriptedError raise;
  bool creation_raises = false;
};

struct Scenario {
  wb::String language;
  std::map<wb::String, ScriptedValue> session;  // property name (exact) -> value
  std::map<int32_t, bool> rights;               // FuncID -> granted
  bool other_rights = true;                     // FuncIDs not listed
  // language (upper case) -> source text -> translation
  std::map<wb::String, std::map<wb::String, wb::String>> phrases;
  // ProgID (upper case) -> the error its creation raises (none: 429)
  std::map<wb::String, std::optional<ScriptedError>> uncreatable;
  // ProgID (upper case) -> member name (upper case) -> script
  std::map<wb::String, std::map<wb::String, MemberScript>> components;
  // Faults by interaction number; a loaded scenario replaces the base's.
  std::map<int, Injection> inject;
  // ProgIDs (upper case) whose instances call the host hook when released.
  std::set<wb::String> release_calls_host;
};

// Parses `text` laid over `base`; `name` (a file name) prefixes every message.
// Throws `ScenarioError`.
Scenario ParseScenario(std::string_view text, const std::string& name, const Scenario& base);

// A Single and a Currency from the number that a scenario or a trace writes
// for them; nullopt when the number is out of the type's range, which a
// cast would wrap or leave undefined. A Currency is held in units of
// 1/10,000: its largest, 922337203685477.5807, is written 922337203685477.6,
// whose units round up to 2^63, and reads back as the largest.
std::optional<float> SingleOf(double number);
std::optional<int64_t> CurrencyOf(double number);

// The bundled default scenario, parsed once.
const Scenario& DefaultScenario();

}  // namespace refsuite
