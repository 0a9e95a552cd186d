#include "trace/trace.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "trace/trace_config.h"
#include "trace/trace_file.h"
#include "trace/trace_line.h"
#include "trace/traced_object.h"

namespace wb::trace {

namespace internal {
std::atomic<int> g_state{kUnread};
}  // namespace internal

namespace {

using internal::Emit;
using internal::g_state;
using internal::Trace;

std::atomic<TraceFile*> g_file{nullptr};
std::atomic<uint64_t> g_limit{kDefaultTraceLimit};
// The file's size after this process's last line (kNoEnd: none yet), read
// and written under the writers' lock.
constexpr uint64_t kNoEnd = UINT64_MAX;
std::atomic<uint64_t> g_own_end{kNoEnd};

const char* IconName(int32_t style) {
  switch (style & 0xF0) {
    case 0x10:
      return "critical";
    case 0x20:
      return "question";
    case 0x30:
      return "exclamation";
    case 0x40:
      return "information";
    default:
      return "none";
  }
}

// The last line of a full file, whose end marks the file as full for every
// writer, whatever limit it was given.
std::string FullLine(uint64_t limit) {
  return std::move(TraceLine("trace-full")
                       .Field("limit", limit)
                       .Text("note", u"the trace stopped here: the file reached its size limit"))
      .Finish();
}

// The note and what follows it: the same in every writer's last line.
const std::string& FullEnd() {
  static const std::string end = [] {
    const std::string line = FullLine(0);
    return line.substr(line.rfind(",\"note\":"));
  }();
  return end;
}

// Releases the file's writer lock when it leaves scope.
class FileLock {
 public:
  explicit FileLock(TraceFile& file) : file_(file), held_(file.Lock()) {}
  ~FileLock() {
    if (held_)
      file_.Unlock();
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return held_; }

 private:
  TraceFile& file_;
  const bool held_;
};

}  // namespace

namespace internal {

void Install(const std::string& path, uint64_t limit, bool make_folder) {
  static std::unique_ptr<TraceFile> current;
  std::unique_ptr<TraceFile> file = path.empty() ? nullptr : OpenTraceFile(path, make_folder);
  // A file that is full already stays as it is: its last line says so.
  if (file) {
    const std::optional<uint64_t> size = file->Size();
    if (!size || *size >= limit)
      file.reset();
  }
  g_limit.store(limit, std::memory_order_relaxed);
  g_own_end.store(kNoEnd, std::memory_order_relaxed);
  g_file.store(file.get(), std::memory_order_release);
  g_state.store(file ? kOn : kOff, std::memory_order_release);
  current = std::move(file);
}

bool ReadConfiguration() noexcept {
  // Once per process, whichever thread comes first.
  static const bool read = [] {
    try {
      const TraceDecision decision = DecideTrace(ReadTracePlaces());
      Install(decision.path, decision.limit, decision.make_folder);
    } catch (...) {
      g_state.store(kOff, std::memory_order_release);
    }
    return true;
  }();
  static_cast<void>(read);
  return g_state.load(std::memory_order_acquire) == kOn;
}

void Emit(TraceLine&& line) noexcept {
  try {
    TraceFile* file = g_file.load(std::memory_order_acquire);
    if (file == nullptr || g_state.load(std::memory_order_acquire) != kOn)
      return;
    const std::string text = std::move(line).Finish();
    const uint64_t limit = g_limit.load(std::memory_order_relaxed);
    const std::string& full_end = FullEnd();
    // The check and the line that it allows are one step for every writer,
    // in this process and in others: one trace-full line ends a full file,
    // and nothing follows it.
    const FileLock lock(*file);
    const std::optional<uint64_t> size = lock.held() ? file->Size() : std::nullopt;
    // While the file ends where this process's last line ended, that line
    // is its last one: only another writer's end needs reading.
    const bool ends_full =
        size && *size != g_own_end.load(std::memory_order_relaxed) && file->EndsWith(full_end);
    if (size && !ends_full && *size + text.size() + 2 <= limit) {
      // Under the lock nothing else lands: the file now ends after this line.
      const std::optional<size_t> appended = file->AppendLine(text);
      if (!appended)
        g_state.store(kOff, std::memory_order_release);
      g_own_end.store(appended ? *size + *appended : kNoEnd, std::memory_order_relaxed);
      return;
    }
    // Full, or its size unknown: the trace stops, and the first writer to
    // find the file past its limit writes the last line, past the limit by
    // that line alone.
    g_state.store(kOff, std::memory_order_release);
    if (size && *size < limit && !ends_full)
      file->AppendLine(FullLine(limit));
  } catch (...) {
    // Whatever failed (memory, most likely): the line is lost, the call
    // goes on.
  }
}

}  // namespace internal

void HostEnter(StringView method, const int32_t* id) noexcept {
  Trace([&] {
    TraceLine line("host-enter");
    line.Text("method", method);
    if (id)
      line.Field("id", *id);
    Emit(std::move(line));
  });
}

void HostLeave(StringView method, const int32_t* id, const ErrRecord& error) noexcept {
  Trace([&] {
    TraceLine line("host-leave");
    line.Text("method", method);
    if (id)
      line.Field("id", *id);
    if (error.number == 0)
      line.Field("outcome", "ok");
    else
      line.Field("outcome", "error").Field("error", ErrorJson(error));
    Emit(std::move(line));
  });
}

void HostRefused(StringView method, int32_t hresult) noexcept {
  Trace([&] {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(hresult));
    Emit(std::move(TraceLine("host-refused").Text("method", method).Field("hresult", text)));
  });
}

ObjectRef Created(StringView prog_id, ObjectRef object) {
  if (!Enabled() || object.IsNothing())
    return object;
  try {
    ObjectRef traced(new TracedObject(String(prog_id), object));
    Emit(std::move(TraceLine("create").Text("progid", prog_id)));
    return traced;
  } catch (...) {
    // Whatever failed (memory, most likely): the component goes on
    // untraced.
    return object;
  }
}

void CreateFailed(StringView prog_id, const ErrRecord& error) noexcept {
  Trace([&] {
    Emit(std::move(
        TraceLine("create-failed").Text("progid", prog_id).Field("error", ErrorJson(error))));
  });
}

void Notice(StringView title, StringView text, int32_t style) noexcept {
  Trace([&] {
    Emit(std::move(TraceLine("notice")
                       .Text("title", title)
                       .Text("text", text)
                       .Field("style", style)
                       .Field("icon", IconName(style))));
  });
}

}  // namespace wb::trace
