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
// "cannot replay: ". Each output is written beside its place and renamed over
// it once whole; none may name the trace, or another output, by any path.
// A trace over 100 MB shows its progress on standard error. Exit status: 0
// converted, 1 nothing to replay (the message says why), 2 wrong usage, 3 an
// output could not be written.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "refsuite/scenario.h"
#include "refsuite/scenario_json.h"
#include "tools/replay/conversion.h"

namespace {

constexpr char kUsage[] =
    "usage: trace-to-scenario [--process PID] [--thread TID] [--max-calls N]\n"
    "                         [--plan FILE] [--expect FILE] TRACE.jsonl [SCENARIO.json]\n"
    "       trace-to-scenario --list TRACE.jsonl\n";

constexpr int kWriteFailed = 3;

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

int Refuse(const std::string& problem) {
  std::cerr << "trace-to-scenario: " << problem << "\n";
  return 2;
}

int CannotWrite(const std::string& path, const std::string& why) {
  std::cerr << "trace-to-scenario: cannot write " << path << ": " << why << "\n";
  return kWriteFailed;
}

// Two paths name one file when they reach the same device and inode
// (through links of any kind); paths to nothing yet compare as written.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  const bool has_a = stat(a.c_str(), &sa) == 0;
  const bool has_b = stat(b.c_str(), &sb) == 0;
  if (has_a && has_b)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (has_a || has_b)
    return false;
  std::error_code error;
  const auto canonical = [&](const std::string& path) {
    return std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  };
  return canonical(a) == canonical(b);
}

// A file written under a temporary name beside its place and renamed over
// it when whole: a failure on the way leaves the place as it was. A place
// that is no regular file (/dev/null, a pipe) is written in place.
class Output {
 public:
  explicit Output(std::string path) : path_(std::move(path)) {}
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() {
    if (!temp_.empty())
      std::remove(temp_.c_str());
  }

  // False with `error` set when it cannot be opened.
  bool Open(std::string& error) {
    struct stat st {};
    std::string target = path_;
    if (stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      out_.open(path_, std::ios::binary);
    } else {
      std::string pattern = path_ + ".partial-XXXXXX";
      const int fd = mkstemp(pattern.data());
      if (fd < 0) {
        error = std::strerror(errno);
        return false;
      }
      // As an ordinary new file would be: readable by whom the umask lets.
      const mode_t mask = umask(0);
      umask(mask);
      fchmod(fd, 0666 & ~mask);
      close(fd);
      temp_ = pattern;
      out_.open(temp_, std::ios::binary | std::ios::trunc);
    }
    if (!out_) {
      error = std::strerror(errno);
      return false;
    }
    return true;
  }

  std::ostream& stream() { return out_; }
  const std::string& path() const { return path_; }

  // Closes the file and puts it in its place; false with `error` set.
  bool Commit(std::string& error) {
    out_.flush();
    if (!out_) {
      error = "the write failed (the disk full?)";
      return false;
    }
    out_.close();
    if (temp_.empty())
      return true;
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
      error = std::strerror(errno);
      return false;
    }
    temp_.clear();
    return true;
  }

 private:
  std::string path_;
  std::string temp_;
  std::ofstream out_;
};

std::string Megabytes(uint64_t bytes) {
  return std::to_string((bytes + 500'000) / 1'000'000) + " MB";
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
      if (arg == "--process") {
        options.pick.pid = *n;
      } else if (arg == "--thread") {
        options.pick.thread = *n;
      } else if (static_cast<uint64_t>(*n) > replay::Budgets::kMaxCalls) {
        return Usage("--max-calls takes a number from 0 to " +
                     std::to_string(replay::Budgets::kMaxCalls));
      } else {
        options.max_calls = static_cast<size_t>(*n);
      }
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
  const std::string& trace = paths[0];
  options.progress = [](const char* pass, uint64_t read, uint64_t size) {
    std::cerr << "trace-to-scenario: " << pass << ": " << Megabytes(read)
              << (size != 0 ? " of " + Megabytes(size) : std::string()) << " read\n";
  };

  if (list) {
    const replay::Listing listing = replay::ListThreads(trace, options);
    if (!listing.problem.empty()) {
      std::cerr << "trace-to-scenario: " << listing.problem << "\n";
      return 1;
    }
    for (const std::string& line : replay::FormatListing(listing))
      std::cout << line << "\n";
    std::cout.flush();
    return std::cout ? 0 : CannotWrite("the standard output", std::strerror(errno));
  }

  // No output may name the trace, nor another output.
  struct Named {
    const char* what;
    const std::string& path;
  };
  const Named outputs[] = {
      {"--plan", plan_path}, {"--expect", expect_path}, {"the scenario", paths[1]}};
  for (size_t i = 0; i < std::size(outputs); ++i) {
    if (outputs[i].path.empty())
      continue;
    if (SameFile(outputs[i].path, trace))
      return Refuse(std::string(outputs[i].what) + " names the trace itself (" + trace +
                    "): refused, nothing written");
    for (size_t j = 0; j < i; ++j) {
      if (!outputs[j].path.empty() && SameFile(outputs[i].path, outputs[j].path)) {
        return Refuse(std::string(outputs[i].what) + " names the same file as " + outputs[j].what +
                      " (" + outputs[i].path + "): refused, nothing written");
      }
    }
  }

  std::string error;
  std::optional<Output> expect_file;
  std::ostream null_stream(nullptr);
  std::ostream* expect = &null_stream;
  if (!expect_path.empty()) {
    expect_file.emplace(expect_path);
    if (!expect_file->Open(error))
      return CannotWrite(expect_path, error);
    expect = &expect_file->stream();
  }
  replay::Conversion conversion = replay::Convert(trace, options, *expect);
  // The messages go where the scenario does not.
  std::ostream& say = positional == 2 ? std::cout : std::cerr;
  if (!conversion.ok) {
    std::cerr << "trace-to-scenario: " << conversion.error << "\n";
    for (const std::string& note : conversion.notes)
      std::cerr << "cannot replay: " << note << "\n";
    return 1;
  }
  say << "replaying process " << conversion.pid << ", thread " << conversion.thread << " of "
      << trace << ": " << conversion.host_calls << " host calls, " << conversion.events
      << " events\n";
  for (const std::string& note : conversion.notes)
    say << "cannot replay: " << note << "\n";

  std::string text;
  try {
    text = refsuite::ScenarioJson(conversion.scenario).dump(2) + "\n";
    // What is kept until the end is the text alone.
    conversion.scenario = {};
    // The suite must read it back as written.
    refsuite::ParseScenario(text, "<converted scenario>", refsuite::Scenario{});
  } catch (const refsuite::ScenarioError& e) {
    std::cerr << "trace-to-scenario: the scenario made is not one the suite reads: " << e.what()
              << "\n";
    return 1;
  }
  std::optional<Output> plan_file;
  if (!plan_path.empty()) {
    plan_file.emplace(plan_path);
    if (!plan_file->Open(error))
      return CannotWrite(plan_path, error);
    for (const std::string& step : conversion.plan)
      plan_file->stream() << step << "\n";
  }
  std::optional<Output> scenario_file;
  if (positional == 2) {
    scenario_file.emplace(paths[1]);
    if (!scenario_file->Open(error))
      return CannotWrite(paths[1], error);
    scenario_file->stream() << text;
  }
  for (std::optional<Output>* file : {&expect_file, &plan_file, &scenario_file}) {
    if (*file && !(*file)->Commit(error))
      return CannotWrite((*file)->path(), error);
  }
  if (positional != 2) {
    std::cout << text;
    std::cout.flush();
    if (!std::cout)
      return CannotWrite("the standard output", std::strerror(errno));
  }
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
