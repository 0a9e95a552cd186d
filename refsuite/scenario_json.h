// A scenario written back as JSON, in the format that `ParseScenario` reads
// (refsuite/README.md, "Scenario files"): what a tool that makes scenarios
// builds in memory as a `Scenario` and hands to the suite as a file.
//
// The document starts from `"base": "none"`, so that it means the same on its
// own as the `Scenario` it came from. ProgIDs and members known to the
// catalogue get the catalogue's spelling; other members keep their key.
// Every value keeps its kind: a Long is a bare integer, a String a bare text,
// a Boolean true/false, Null null, every other kind the typed form.
#pragma once

#include <nlohmann/json.hpp>

#include "refsuite/scenario.h"

namespace refsuite {

using OrderedJson = nlohmann::ordered_json;

// Throws `ScenarioError` for a scenario that no reader would take back (an
// object's default value nested past the readers' depth).
OrderedJson ScenarioJson(const Scenario& scenario);

// The parts, for tools that compare answers by their written form.
OrderedJson ScriptedValueJson(const ScriptedValue& value);
OrderedJson ScriptedErrorJson(const ScriptedError& error);
// The keys of an answer ("missing", "writeback", "value", "raise") added to
// `out`, an object.
void AddAnswerJson(const Answer& answer, OrderedJson& out);

}  // namespace refsuite
