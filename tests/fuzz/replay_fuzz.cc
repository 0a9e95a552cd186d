// Fuzzes the trace reader as trace-to-scenario runs it: the input is a
// store's trace file, listed, converted (as the trace offers itself, and for
// its first thread) and the scenario made read back as the suite reads it.
// Aborts when the scenario is not one the suite reads, when something said
// holds a control character, or when anything kept passes its budget.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "refsuite/scenario.h"
#include "refsuite/scenario_json.h"
#include "tools/replay/conversion.h"
#include "tools/replay/notes.h"

namespace {

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "replay_fuzz: %s\n", what);
    std::abort();
  }
}

// What is said is shown: one line each, no control character, bounded.
void Said(const std::vector<std::string>& lines, size_t max_lines, size_t max_size) {
  Require(lines.size() <= max_lines, "more lines said than the notes keep");
  for (const std::string& line : lines) {
    Require(line.size() <= max_size, "a line said passes its size");
    for (char c : line)
      Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a control character said");
  }
}

void Check(const std::string& path, const replay::Options& options) {
  using replay::Budgets;
  std::ostringstream expect;
  replay::Conversion conversion = replay::Convert(path, options, expect);
  Said(conversion.notes, replay::Notes::kMaxNotes + 1, replay::Notes::kMaxText + 64);
  Require(conversion.filled <= Budgets::kMaxFill, "the filling passes its budget");
  Require(conversion.scenario_size <= Budgets::kMaxScenario, "the scenario passes its budget");
  Require(conversion.host_calls <= options.max_calls, "more host calls than --max-calls");
  if (!conversion.ok)
    return;
  std::istringstream lines(expect.str());
  size_t events = 0;
  for (std::string line; std::getline(lines, line); ++events) {
    Require(!nlohmann::json::parse(line, nullptr, false).is_discarded(),
            "an event to repeat is no JSON");
  }
  Require(events == conversion.events, "the events to repeat are miscounted");
  std::string text;
  try {
    text = refsuite::ScenarioJson(conversion.scenario).dump(2);
    refsuite::ParseScenario(text, "<converted scenario>", refsuite::Scenario{});
  } catch (const refsuite::ScenarioError& e) {
    std::fprintf(stderr, "replay_fuzz: %s\n", e.what());
    Require(false, "the scenario made is not one the suite reads");
  }
  Require(text.size() <= 4 * Budgets::kMaxScenario, "the scenario passes its size");
}

// The trace file of every input, removed when the fuzzer ends (a plain
// array: nothing of it is destroyed before the removal).
char trace_path[] = "/tmp/replay_fuzz-XXXXXX";

const char* TracePath() {
  static const bool made = [] {
    const int fd = mkstemp(trace_path);
    if (fd >= 0)
      close(fd);
    std::atexit([] { std::remove(trace_path); });
    return true;
  }();
  return made ? trace_path : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = TracePath();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const replay::Listing listing = replay::ListThreads(path);
  Require(listing.threads.size() <= replay::Listing::kMaxThreads, "more threads listed than kept");
  Require(listing.counts.size() <= replay::Budgets::kMaxThreadsCounted, "more threads counted");
  Said(listing.notes, replay::Notes::kMaxNotes + 1, replay::Notes::kMaxText + 64);
  Said(replay::FormatListing(listing), replay::Listing::kMaxThreads + 1, 8192);

  replay::Options options;
  options.max_calls = 8;
  Check(path, options);
  if (!listing.threads.empty()) {
    options.pick = {listing.threads.front().pid, listing.threads.front().thread};
    Check(path, options);
  }
  return 0;
}
