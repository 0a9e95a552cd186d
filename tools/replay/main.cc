// trace-to-scenario: turns a store's field trace into a reference-suite
// scenario that answers every recorded component call as the store's
// components did, and lists the processes and threads of a trace.
//
//   trace-to-scenario [--process PID] [--thread TID] [--max-calls N]
//                     [--plan FILE] [--expect FILE] TRACE.jsonl [SCENARIO.json]
//   trace-to-scenario --list TRACE.jsonl
//
// Without SCENARIO.json the scenario goes to standard output and the
// messages to standard error. --plan writes the host's steps (one a line:
// "call ID", "refuse text", "refuse overflow", "renew", "hold"), --expect the
// store's events that the replay's trace must repeat (JSON lines). Each
// thing that cannot be replayed is named on a line of its own that begins
// "cannot replay: ". Exit status: 0 converted, 1 nothing to replay (the
// message says why), 2 wrong usage.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "refsuite/scenario.h"
#include "refsuite/scenario_json.h"
#include "tools/replay/conversion.h"

namespace {

constexpr char kUsage[] =
    "usage: trace-to-scenario [--process PID] [--thread TID] [--max-calls N]\n"
    "                         [--plan FILE] [--expect FILE] TRACE.jsonl [SCENARIO.json]\n"
    "       trace-to-scenario --list TRACE.jsonl\n";

std::optional<int64_t> Number(std::string_view text) {
  int64_t n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return n;
}

int Usage(const std::string& problem) {
  std::cerr << "trace-to-scenario: " << problem << "\n" << kUsage;
  return 2;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

int Run(int argc, char** argv) {
  replay::Options options;
  bool list = false;
  std::string plan_path;
  std::string expect_path;
  std::string paths[2];
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--list") {
      list = true;
    } else if (arg == "--process" || arg == "--thread" || arg == "--max-calls") {
      const std::optional<int64_t> n = has_value ? Number(argv[i + 1]) : std::nullopt;
      if (!n || *n < 0)
        return Usage(std::string(arg) + " takes a number");
      ++i;
      if (arg == "--process")
        options.pick.pid = *n;
      else if (arg == "--thread")
        options.pick.thread = *n;
      else
        options.max_calls = static_cast<size_t>(*n);
    } else if (arg == "--plan" || arg == "--expect") {
      if (!has_value)
        return Usage(std::string(arg) + " takes a file name");
      (arg == "--plan" ? plan_path : expect_path) = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg.starts_with("--") || positional == 2) {
      return Usage("unexpected argument " + std::string(arg));
    } else {
      paths[positional++] = arg;
    }
  }
  if (positional == 0)
    return Usage("no trace file");

  if (list) {
    const replay::Listing listing = replay::ListThreads(paths[0]);
    if (!listing.problem.empty()) {
      std::cerr << "trace-to-scenario: " << listing.problem << "\n";
      return 1;
    }
    for (const std::string& line : replay::FormatListing(listing))
      std::cout << line << "\n";
    return 0;
  }

  std::ofstream expect_file;
  std::ostream null_stream(nullptr);
  std::ostream* expect = &null_stream;
  if (!expect_path.empty()) {
    expect_file.open(expect_path, std::ios::binary | std::ios::trunc);
    if (!expect_file)
      return Usage("cannot write " + expect_path);
    expect = &expect_file;
  }
  const replay::Conversion conversion = replay::Convert(paths[0], options, *expect);
  // The messages go where the scenario does not.
  std::ostream& say = positional == 2 ? std::cout : std::cerr;
  if (!conversion.ok) {
    std::cerr << "trace-to-scenario: " << conversion.error << "\n";
    for (const std::string& note : conversion.notes)
      std::cerr << "cannot replay: " << note << "\n";
    return 1;
  }
  say << "replaying process " << conversion.pid << ", thread " << conversion.thread << " of "
      << paths[0] << ": " << conversion.host_calls << " host calls, " << conversion.events
      << " events\n";
  for (const std::string& note : conversion.notes)
    say << "cannot replay: " << note << "\n";

  const std::string text = refsuite::ScenarioJson(conversion.scenario).dump(2) + "\n";
  // The suite must read it back as written.
  try {
    refsuite::ParseScenario(text, "<converted scenario>", refsuite::Scenario{});
  } catch (const refsuite::ScenarioError& e) {
    std::cerr << "trace-to-scenario: the scenario made is not one the suite reads: " << e.what()
              << "\n";
    return 1;
  }
  if (!plan_path.empty()) {
    std::string plan;
    for (const std::string& step : conversion.plan)
      plan += step + "\n";
    if (!WriteFile(plan_path, plan))
      return Usage("cannot write " + plan_path);
  }
  if (positional == 2) {
    if (!WriteFile(paths[1], text))
      return Usage("cannot write " + paths[1]);
  } else {
    std::cout << text;
  }
  if (expect_file && !expect_file.flush())
    return Usage("cannot write " + expect_path);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "trace-to-scenario: out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << "trace-to-scenario: " << e.what() << "\n";
  }
  return 1;
}
