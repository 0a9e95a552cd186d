// The scenario of a replay, built from the component events of the host
// calls that are replayed, in their order (tools/replay/conversion.h).
//
// The session, the rights, the language and the phrases go where a reader of
// the scenario looks for them, and the suite's own behaviour answers from
// there; so do the stored properties. Every answer that those would not
// give, and every other member's answer, is scripted: the member's most
// frequent answer, and for each other call its own answer by its number
// among the calls of that member (`nthOverall`). Failed creations make a
// ProgID uncreatable, or fail that very interaction (`inject`) when the
// ProgID was also created. What a scenario cannot give as it was recorded is
// noted.
#pragma once

#include <memory>
#include <string>

#include "core/text.h"
#include "refsuite/scenario.h"
#include "tools/replay/notes.h"
#include "tools/replay/trace_event.h"

namespace replay {

class ScenarioBuilder {
 public:
  explicit ScenarioBuilder(Notes& notes);
  ~ScenarioBuilder();

  // A create, create-failed, get, call, let or release of a replayed call.
  void Feed(const Event& event);
  // The characters that feeding `event` fills in at most: the lengths that
  // the trace recorded for its answer's cut texts.
  static uint64_t FillOf(const Event& event);

  // Whether an instance of `prog_id` is live (created, not yet released).
  bool IsLive(const std::string& prog_id) const;
  // A release seen between host calls.
  void Release(const std::string& prog_id);
  // The ProgIDs with live instances, for a note.
  std::string LiveNames() const;

  refsuite::Scenario Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace replay
