// The bundled default scenario (default_scenario.json, embedded at build time).
#pragma once

namespace refsuite {
extern const char kDefaultScenarioJson[];
}
