// From a store's field trace to what reproduces it on a developer's desk:
// a reference-suite scenario that answers every recorded component call as
// the store's components did, in the same order; the host's steps (the
// recorded DEVOVIZoruze ids, in order); and the store's events that the
// replay's own trace must repeat.
//
// The file is read as a stream, line by line (tools/replay/line_reader.h):
// memory stays bounded by one line, one host call's events and the answers
// of the calls replayed, never by the file. What cannot be replayed is named,
// one line each, and left out; the rest still replays.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "refsuite/scenario.h"

namespace replay {

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
};

// One process's thread in the trace: its first and last time, and its host
// calls.
struct ThreadCalls {
  int64_t pid = 0;
  int64_t thread = 0;
  std::string first_time;
  std::string last_time;
  uint64_t host_calls = 0;
  // "DEVOVIZoruze 1800201" and how often, in the order first made; the first
  // kMaxNames only.
  std::vector<std::pair<std::string, uint64_t>> calls;
  static constexpr size_t kMaxNames = 24;
};

struct Listing {
  std::vector<ThreadCalls> threads;  // in the order they first appear
  bool more_threads = false;         // beyond kMaxThreads, not listed
  static constexpr size_t kMaxThreads = 4096;
  std::string problem;  // the file is no trace at all: why
};

// Every process and thread of the trace at `path`.
Listing ListThreads(const std::string& path);
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
};

// Converts the trace at `path`; the store's events that the replay must
// repeat go to `expect`, one JSON object a line.
Conversion Convert(const std::string& path, const Options& options, std::ostream& expect);

}  // namespace replay
