// The reference suite on the native build: every ProgID the system calls,
// registered with the in-process registry, scripted by a scenario, with a
// journal of every call and a count of live instances per ProgID.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "refsuite/scenario.h"  // ScenarioError

namespace refsuite {

// Registers all ProgIDs with wb::NativeRegistry::Instance(); idempotent.
void InstallNative();

// Replaces the scenario (laid over the bundled default). A bad one throws
// ScenarioError{"name:line: problem"} and leaves the suite refusing every
// creation with that problem until the next successful load or reset.
void LoadScenarioText(const std::string& json, const std::string& name = "<text>");
void LoadScenarioFile(const std::string& path);
// Back to the bundled default scenario.
void ResetScenario();

// Journal entries since the last ClearJournal, oldest first.
std::vector<nlohmann::json> Journal();
void ClearJournal();

// Interactions since the scenario was loaded: creations (failed ones too)
// and member calls, the ones the journal gives a "seq".
int Interactions();

// Live instances of one ProgID (any letter case); of all, answered objects
// ("RefSuite.Value") included.
int LiveCount(const std::string& prog_id);
int TotalLive();

// Whether the calling thread is running the suite's own code: a creation, or
// a member call or release of a suite object. Tests that fail the product's
// allocations leave the suite's alone.
bool InsideNativeBinding();

// Sets (null: removes) the calling thread's host hook, which a member script
// with "callHost" runs in the middle of its call (refsuite/host_hook.h).
// While it runs, the thread counts as outside the suite.
void SetHostHook(std::function<void()> hook);

}  // namespace refsuite
