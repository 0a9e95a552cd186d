#include "tools/replay/conversion.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <unordered_map>
#include <utility>

#include "core/text.h"
#include "refsuite/catalog.h"
#include "tools/replay/line_reader.h"
#include "tools/replay/notes.h"
#include "tools/replay/scenario_builder.h"
#include "tools/replay/shown.h"
#include "tools/replay/trace_event.h"

namespace replay {

namespace {

constexpr uint64_t kProgressStep = 100'000'000;

struct ScanTotals {
  bool opened = false;
  uint64_t bytes = 0;
  uint64_t lines = 0;
  uint64_t events = 0;   // trace lines read as events
  uint64_t unknown = 0;  // trace lines of events this reader does not know
  uint64_t first_bad_line = 0;
  std::string first_bad;
};

// Reads the trace at `path` line by line and hands each event to
// `on_event`, which returns false to stop. Lines that are no trace lines
// are noted and skipped.
template <class OnEvent>
ScanTotals Scan(const std::string& path,
                const Options& options,
                const char* pass,
                Notes& notes,
                OnEvent&& on_event) {
  ScanTotals totals;
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    return totals;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return totals;
  totals.opened = true;
  const bool is_file = std::filesystem::is_regular_file(path, error);
  const uint64_t size = is_file ? std::filesystem::file_size(path, error) : 0;
  uint64_t next_progress = kProgressStep;
  LineReader reader(in);
  LineReader::Line line;
  while (reader.Next(line)) {
    totals.lines = line.number;
    if (reader.bytes_read() >= next_progress) {
      if (options.progress && (!is_file || size > kProgressStep))
        options.progress(pass, reader.bytes_read(), size);
      next_progress = (reader.bytes_read() / kProgressStep + 1) * kProgressStep;
    }
    if (line.too_long) {
      notes.Add("long", line.number,
                "a line longer than " + std::to_string(LineReader::kMaxLine >> 20) +
                    " MiB is no trace line: skipped");
      continue;
    }
    if (line.text.find_first_not_of(" \t") == std::string_view::npos)
      continue;
    ReadLine read = ReadEvent(line.text, line.number);
    for (const std::string& field : read.unknown_fields) {
      const std::string shown = Shown(field);
      notes.Add("field:" + shown, line.number,
                "unknown field \"" + shown + "\" (a newer trace?): ignored");
    }
    if (!read.unknown_event.empty()) {
      ++totals.unknown;
      const std::string shown = Shown(read.unknown_event, 64);
      notes.Add("event:" + shown, line.number,
                "unknown event \"" + shown + "\" (a newer trace?): not replayed");
      continue;
    }
    if (!read.event) {
      if (totals.first_bad.empty()) {
        totals.first_bad = read.problem;
        totals.first_bad_line = line.number;
      }
      if (line.unended) {
        notes.Add("cut-line", line.number,
                  "the last line is cut short (the trace was cut, or still being written): "
                  "skipped");
      } else {
        notes.Add(read.problem_kind.empty() ? "bad" : "bad:" + read.problem_kind, line.number,
                  "not a trace line (" + read.problem + "): skipped");
      }
      continue;
    }
    ++totals.events;
    if (!on_event(std::move(*read.event)))
      break;
  }
  totals.bytes = reader.bytes_read();
  return totals;
}

// Why the file serves no replay at all, or "" when it holds trace lines.
std::string FileProblem(const std::string& path, const ScanTotals& totals) {
  if (!totals.opened)
    return path + ": cannot be read";
  if (totals.bytes == 0)
    return path + ": the file is empty: there is nothing to replay";
  if (totals.events == 0 && totals.unknown == 0) {
    std::string problem = path + ": not a field trace (JSON lines): no line of it is a trace line";
    if (totals.first_bad_line != 0) {
      problem += " (line " + std::to_string(totals.first_bad_line) + ": " + totals.first_bad + ")";
    } else {
      problem += " (its lines are too long, or blank)";
    }
    return problem;
  }
  return {};
}

bool IsHostCall(const Event& event) {
  return event.kind == EventKind::kHostEnter || event.kind == EventKind::kHostRefused;
}

std::string CallName(const Event& event) {
  const std::string method = Shown(event.Text("method"), 64);
  if (event.kind == EventKind::kHostRefused)
    return method + " refused";
  return method + (event.fields.contains("id")
                       ? " " + std::to_string(event.fields["id"].get<int64_t>())
                       : std::string());
}

std::string Figure(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3)
    digits.insert(at - 3, ",");
  return digits;
}

std::string ThreadName(int64_t pid, int64_t thread) {
  return "process " + std::to_string(pid) + ", thread " + std::to_string(thread);
}

// ---- The host's calls ------------------------------------------------------

// Follows one thread's host calls: each call's events are held until its end
// is seen, then either replayed as a whole (a step of the plan, its events
// expected, its answers scripted) or left out with a note.
class Converter {
 public:
  Converter(const Options& options, std::ostream& expect, Notes& notes)
      : options_(options), expect_(expect), notes_(notes), builder_(notes) {}

  bool OnEvent(Event&& event) {
    if (IsHostCall(event) && (!call_ || !call_->console) && calls_ >= options_.max_calls) {
      notes_.Add("max-calls", event.line,
                 "the trace goes on past " + std::to_string(options_.max_calls) +
                     " host calls: the rest is not replayed (--max-calls)");
      return false;
    }
    switch (event.kind) {
      case EventKind::kHostEnter:
        Enter(std::move(event));
        return true;
      case EventKind::kHostLeave:
        Leave(std::move(event));
        return true;
      case EventKind::kHostRefused:
        if (call_) {
          if (!call_->console)
            Skip("nested", "a host call made while another ran (" + call_->enter.HostCallName() +
                               ") is not replayed");
          Hold(std::move(event));
        } else {
          Refused(std::move(event));
        }
        return true;
      case EventKind::kRelease:
        if (call_) {
          Hold(std::move(event));
        } else if (builder_.IsLive(event.Text("progid"))) {
          // The host let Workbench go between two calls: the thread's
          // cached components went with it.
          builder_.Release(event.Text("progid"));
          Expect(event);
          renew_ = true;
        } else {
          Outside(event);
        }
        return true;
      default:
        if (call_) {
          Hold(std::move(event));
        } else {
          Outside(event);
        }
        return true;
    }
  }

  void Finish(Conversion& out) {
    if (call_) {
      if (call_->dropped)
        notes_.Add(call_->skip_key, call_->skip_line, call_->skip);
      notes_.Add("cut", call_->enter.line,
                 "the trace ends inside " + call_->enter.HostCallName() +
                     " (cut at a size limit, or the process ended during the call): "
                     "that call is not replayed");
      call_.reset();
    }
    const std::string live = builder_.LiveNames();
    if (!live.empty()) {
      plan_.push_back("hold");
      notes_.Add("hold", 0,
                 "the trace ends while its host still held Workbench: the replay's closing "
                 "releases (" +
                     live + ") are not compared");
    }
    out.scenario = builder_.Finish();
    out.plan = std::move(plan_);
    out.host_calls = calls_;
    out.events = events_;
    out.filled = filled_;
    out.scenario_size = scenario_size_;
  }

 private:
  struct Call {
    Event enter;
    std::vector<Event> events;
    uint64_t held = 0;     // what `events` take (Event::cost)
    bool dropped = false;  // past a budget: nothing more is held
    bool console = false;
    int depth = 0;  // host calls made inside a console session
    std::string skip_key;
    std::string skip;  // why the call is not replayed, or ""
    uint64_t skip_line = 0;
  };

  // The call is not replayed, for the first reason given; `line` is where
  // the reason is, when not the call's first line.
  void Skip(const std::string& key, const std::string& why, uint64_t line = 0) {
    if (call_->skip.empty()) {
      call_->skip_key = key;
      call_->skip = why;
      call_->skip_line = line != 0 ? line : call_->enter.line;
    }
  }

  void Enter(Event&& event) {
    if (call_ && call_->console) {
      ++call_->depth;
      Hold(std::move(event));
      return;
    }
    if (call_) {
      notes_.Add("unended", call_->enter.line,
                 call_->enter.HostCallName() +
                     " has no end in the trace (the next call begins "
                     "before it ended): not replayed");
    }
    call_.emplace(Call{std::move(event), {}, 0, false, false, 0, {}, {}, 0});
    const std::string method = call_->enter.Text("method");
    if (method == "ShowWorkbenchForm") {
      call_->console = true;
      Skip("console",
           "ShowWorkbenchForm, a console session: its clicks are not host calls, not replayed");
    } else if (method != "DEVOVIZoruze" || !call_->enter.fields.contains("id")) {
      Skip("method:" + Shown(method, 64), "a host call " + call_->enter.HostCallName() +
                                              " that the replay's host cannot make: not replayed");
    }
  }

  void Hold(Event&& event) {
    if (call_->dropped)
      return;
    if (event.IsComponentEvent() && !refsuite::FindComponent(wb::FromUtf8(event.Text("progid")))) {
      const std::string progid = Shown(event.Text("progid"), 64);
      Skip("progid:" + progid,
           "\"" + progid +
               "\" is outside the reference suite's catalog: the host call that uses it (" +
               call_->enter.HostCallName() + ") is not replayed");
    }
    if (!event.unreplayable.empty()) {
      Skip("range", event.unreplayable + ": " + call_->enter.HostCallName() + " is not replayed",
           event.line);
    }
    if (call_->events.size() >= Budgets::kMaxCallEvents ||
        call_->held + event.cost > Budgets::kMaxCallBytes) {
      Skip("big", "a host call with more than " + Figure(Budgets::kMaxCallEvents) +
                      " events, or more than " + Figure(Budgets::kMaxCallBytes >> 20) +
                      " MB of them, is not replayed");
      // Its events are not needed any more.
      call_->dropped = true;
      std::vector<Event>().swap(call_->events);
      return;
    }
    call_->held += event.cost;
    call_->events.push_back(std::move(event));
  }

  // Whether the held call fits what is left of the budgets of the whole
  // replay; if so, it is charged to them.
  bool Fits() {
    uint64_t fill = 0;
    uint64_t size = call_->enter.size;
    for (const Event& held : call_->events) {
      fill = SaturatingAdd(fill, ScenarioBuilder::FillOf(held));
      size += held.size;
    }
    const std::string name = call_->enter.HostCallName();
    if (fill > Budgets::kMaxFill - filled_) {
      notes_.Add("fill", call_->enter.line,
                 "the cut texts of " + name + " would be filled to " + Figure(fill) +
                     " characters, and the replay fills " + Figure(Budgets::kMaxFill) +
                     " in all (" + Figure(filled_) + " filled before): that call is not replayed");
      return false;
    }
    size = SaturatingAdd(size, fill);
    if (size > Budgets::kMaxScenario - scenario_size_) {
      notes_.Add("scenario-size", call_->enter.line,
                 name + " would take the scenario past " + Figure(Budgets::kMaxScenario >> 20) +
                     " MB (" + Figure(scenario_size_ >> 20) +
                     " MB before it): that call is not replayed");
      return false;
    }
    filled_ += fill;
    scenario_size_ += size;
    return true;
  }

  void Leave(Event&& event) {
    if (!call_) {
      Outside(event);
      return;
    }
    if (call_->console && call_->depth > 0) {
      --call_->depth;
      Hold(std::move(event));
      return;
    }
    if (event.Text("method") != call_->enter.Text("method") ||
        event.fields.value("id", Json()) != call_->enter.fields.value("id", Json())) {
      Skip("mismatch",
           "a host call that leaves as another (" + event.HostCallName() + ") is not replayed");
    }
    if (!call_->skip.empty()) {
      notes_.Add(call_->skip_key, call_->skip_line, call_->skip);
      call_.reset();
      return;
    }
    if (!Fits()) {
      call_.reset();
      return;
    }
    Step("call " + std::to_string(call_->enter.fields["id"].get<int64_t>()));
    Expect(call_->enter);
    for (const Event& held : call_->events) {
      builder_.Feed(held);
      Expect(held);
    }
    Expect(event);
    call_.reset();
  }

  void Refused(Event&& event) {
    std::string hresult = event.Text("hresult");
    for (char& c : hresult)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // What a script host passes to be refused so: a text that is no number,
    // and a number beyond a Long.
    const char* step = hresult == "0x80020005"   ? "refuse text"
                       : hresult == "0x8002000a" ? "refuse overflow"
                                                 : nullptr;
    if (step == nullptr || event.Text("method") != "DEVOVIZoruze") {
      notes_.Add("refused:" + Shown(hresult, 32), event.line,
                 "a call of " + Shown(event.Text("method"), 64) + " refused with " +
                     Shown(event.Text("hresult"), 64) +
                     ", which the replay's script host cannot make: not replayed");
      return;
    }
    Step(step);
    Expect(event);
  }

  void Outside(const Event& event) {
    notes_.Add("outside", event.line,
               "an event outside every replayed host call (the trace begins inside a call, or "
               "it belongs to a call that is not replayed): not replayed");
  }

  void Step(std::string step) {
    if (renew_)
      plan_.push_back("renew");
    renew_ = false;
    plan_.push_back(std::move(step));
    ++calls_;
  }

  void Expect(const Event& event) {
    expect_ << event.fields.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    ++events_;
  }

  const Options& options_;
  std::ostream& expect_;
  Notes& notes_;
  ScenarioBuilder builder_;
  std::optional<Call> call_;
  std::vector<std::string> plan_;
  bool renew_ = false;
  size_t calls_ = 0;
  size_t events_ = 0;
  uint64_t filled_ = 0;
  uint64_t scenario_size_ = 0;
};

}  // namespace

Listing ListThreads(const std::string& path, const Options& options) {
  Listing listing;
  Notes notes;
  std::unordered_map<ThreadKey, size_t, ThreadKeyHash> listed;
  const ScanTotals totals = Scan(path, options, "listing", notes, [&](Event&& event) {
    const ThreadKey key{event.pid, event.thread};
    auto counted = listing.counts.find(key);
    if (counted == listing.counts.end()) {
      if (listing.counts.size() >= Budgets::kMaxThreadsCounted) {
        listing.more_threads = true;
        return true;
      }
      counted = listing.counts.emplace(key, 0).first;
      if (listing.threads.size() < Listing::kMaxThreads) {
        const std::string time = Shown(event.time, 40);
        listed.emplace(key, listing.threads.size());
        listing.threads.push_back({event.pid, event.thread, time, time, 0, {}});
      }
    }
    if (IsHostCall(event))
      ++counted->second;
    const auto it = listed.find(key);
    if (it == listed.end())
      return true;
    ThreadCalls& thread = listing.threads[it->second];
    thread.last_time = Shown(event.time, 40);
    if (!IsHostCall(event))
      return true;
    ++thread.host_calls;
    const std::string name = CallName(event);
    for (auto& [known, count] : thread.calls) {
      if (known == name) {
        ++count;
        return true;
      }
    }
    if (thread.calls.size() < ThreadCalls::kMaxNames)
      thread.calls.emplace_back(name, 1);
    return true;
  });
  listing.problem = FileProblem(path, totals);
  listing.notes = notes.Lines();
  return listing;
}

std::vector<std::string> FormatListing(const Listing& listing) {
  std::vector<std::string> lines;
  for (const ThreadCalls& thread : listing.threads) {
    std::string line = ThreadName(thread.pid, thread.thread) + ": " + thread.first_time + " to " +
                       thread.last_time + ", " + std::to_string(thread.host_calls) + " host calls";
    std::string names;
    uint64_t listed = 0;
    for (const auto& [name, count] : thread.calls) {
      names +=
          (names.empty() ? ": " : ", ") + name + (count > 1 ? " x" + std::to_string(count) : "");
      listed += count;
    }
    if (listed < thread.host_calls)
      names += ", ...";
    lines.push_back(line + names);
  }
  if (listing.more_threads) {
    lines.push_back("... and more threads: more than " + Figure(Budgets::kMaxThreadsCounted) +
                    " in all, the rest not counted");
  } else if (listing.counts.size() > listing.threads.size()) {
    lines.push_back("... and " + Figure(listing.counts.size() - listing.threads.size()) +
                    " more threads (" + Figure(listing.counts.size()) + " in all), not listed");
  }
  return lines;
}

Conversion Convert(const std::string& path, const Options& options, std::ostream& expect) {
  Conversion out;
  Pick pick = options.pick;
  if (!pick.pid || !pick.thread) {
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error) &&
        !std::filesystem::is_directory(path, error)) {
      out.error = path +
                  ": choosing the process and thread needs a file (it is read twice); "
                  "from a pipe, name them with --process and --thread";
      return out;
    }
    const Listing listing = ListThreads(path, options);
    out.notes = listing.notes;
    if (!listing.problem.empty()) {
      out.error = listing.problem;
      return out;
    }
    std::vector<ThreadKey> candidates;
    std::set<int64_t> pids;
    for (const auto& [key, host_calls] : listing.counts) {
      if (host_calls > 0 && (!pick.pid || key.pid == *pick.pid) &&
          (!pick.thread || key.thread == *pick.thread)) {
        candidates.push_back(key);
        pids.insert(key.pid);
      }
    }
    if (candidates.size() != 1) {
      out.error = path + ": ";
      if (candidates.empty()) {
        out.error += pick.pid || pick.thread ? "no host call of that process or thread"
                                             : "no host call at all";
      } else {
        out.error += "host calls from " + Figure(candidates.size()) + " threads of " +
                     Figure(pids.size()) +
                     " processes; pick one with --process PID, and --thread TID where a process "
                     "has several";
      }
      if (listing.more_threads)
        out.error += " (among the first " + Figure(Budgets::kMaxThreadsCounted) + " threads)";
      out.error += "; the trace holds:";
      for (const std::string& line : FormatListing(listing))
        out.error += "\n  " + line;
      return out;
    }
    pick.pid = candidates.front().pid;
    pick.thread = candidates.front().thread;
  }
  out.pid = *pick.pid;
  out.thread = *pick.thread;

  Notes notes;
  Options limited = options;
  limited.max_calls = std::min(options.max_calls, Budgets::kMaxCalls);
  Converter converter(limited, expect, notes);
  const ScanTotals totals = Scan(path, options, "converting", notes, [&](Event&& event) {
    if (event.pid != out.pid || event.thread != out.thread)
      return true;
    return converter.OnEvent(std::move(event));
  });
  out.error = FileProblem(path, totals);
  converter.Finish(out);
  out.notes = notes.Lines();
  if (out.error.empty() && out.host_calls == 0) {
    out.error = path + ": nothing to replay for " + ThreadName(out.pid, out.thread);
  }
  out.ok = out.error.empty();
  return out;
}

}  // namespace replay
