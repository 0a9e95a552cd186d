// From a store's field trace to what reproduces it on a developer's desk:
// a reference-suite scenario that answers every recorded component call as
// the store's components did, in the same order; the host's steps (the
// recorded DEVOVIZoruze ids, in order); and the store's events that the
// replay's own trace must repeat.
//
// The file is read as a stream, line by line (tools/replay/line_reader.h),
// and everything kept from it has a budget (`Budgets`), so that memory stays
// bounded by a constant whatever the file holds. A budget that bites is
// named, as is everything else that cannot be replayed, one line each, and
// left out; the rest still replays.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "refsuite/scenario.h"

namespace replay {

// What a conversion keeps at most. Together (with a line of
// LineReader::kMaxLine and the listing's kMaxThreads) they keep the tool
// within 256 MB of memory: see docs/performance.md.
struct Budgets {
  // Host calls replayed; `--max-calls` lowers it.
  static constexpr size_t kMaxCalls = 100'000;
  // One host call's events are held until its end is seen: at most so many,
  // taking at most so many bytes (Event::cost).
  static constexpr size_t kMaxCallEvents = 20'000;
  static constexpr uint64_t kMaxCallBytes = uint64_t{64} << 20;
  // Characters filled in for the parts of texts that the trace cut, in all.
  static constexpr uint64_t kMaxFill = uint64_t{8} << 20;
  // The scenario's size: the lines of the events replayed and what is
  // filled in, in all.
  static constexpr uint64_t kMaxScenario = uint64_t{16} << 20;
  // Threads counted (exactly, up to this).
  static constexpr size_t kMaxThreadsCounted = size_t{1} << 18;
};

// a + b, held at UINT64_MAX: a budget's sum of lengths that the trace gives.
inline uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// Which process and thread of the trace to replay; unset parts are taken
// from the trace when it holds one candidate only.
struct Pick {
  std::optional<int64_t> pid;
  std::optional<int64_t> thread;
};

struct Options {
  Pick pick;
  // Host calls replayed at most; the rest of a longer trace is named and
  // left out, so that a trace of several gigabytes still converts.
  size_t max_calls = 10000;
  // Told every 100 MB read: what is being done ("listing", "converting"),
  // the bytes read, and the file's size (0 when not known: a pipe).
  std::function<void(const char* pass, uint64_t read, uint64_t size)> progress;
};

// One process's thread in the trace: its first and last time, and its host
// calls.
struct ThreadCalls {
  int64_t pid = 0;
  int64_t thread = 0;
  std::string first_time;  // shown (shown.h)
  std::string last_time;
  uint64_t host_calls = 0;
  // "DEVOVIZoruze 1800201" and how often, in the order first made; the first
  // kMaxNames only.
  std::vector<std::pair<std::string, uint64_t>> calls;
  static constexpr size_t kMaxNames = 24;
};

struct ThreadKey {
  int64_t pid;
  int64_t thread;
  bool operator==(const ThreadKey&) const = default;
};
struct ThreadKeyHash {
  size_t operator()(const ThreadKey& key) const {
    return std::hash<int64_t>()(key.pid) * 1000003u ^ std::hash<int64_t>()(key.thread);
  }
};

struct Listing {
  std::vector<ThreadCalls> threads;  // in the order they first appear
  static constexpr size_t kMaxThreads = 4096;
  // Every thread and its host calls, up to Budgets::kMaxThreadsCounted.
  std::unordered_map<ThreadKey, uint64_t, ThreadKeyHash> counts;
  bool more_threads = false;  // beyond kMaxThreadsCounted, not counted
  std::string problem;        // the file is no trace at all: why
  // Lines that are no trace lines, and the like, one line each.
  std::vector<std::string> notes;
};

// Every process and thread of the trace at `path`.
Listing ListThreads(const std::string& path, const Options& options = {});
// The listing as lines of text, one a thread.
std::vector<std::string> FormatListing(const Listing& listing);

struct Conversion {
  // Nothing can be replayed: `error` says why, in one line or a few.
  bool ok = false;
  std::string error;

  int64_t pid = 0;
  int64_t thread = 0;
  refsuite::Scenario scenario;
  // The host's steps: "call ID", "refuse text", "refuse overflow" (an id
  // that is no number, or out of range), "renew" (let Workbench go and
  // create it again), and last "hold" when the store's host still held
  // Workbench as the trace ended.
  std::vector<std::string> plan;
  size_t host_calls = 0;
  size_t events = 0;  // written to `expect`
  // What cannot be replayed, one line each.
  std::vector<std::string> notes;
  // What the budgets counted.
  uint64_t filled = 0;
  uint64_t scenario_size = 0;
};

// Converts the trace at `path`; the store's events that the replay must
// repeat go to `expect`, one JSON object a line. Choosing the process and
// thread reads the file twice: from a pipe, `options.pick` must name both.
Conversion Convert(const std::string& path, const Options& options, std::ostream& expect);

}  // namespace replay
