#include "bridge/trace.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "bridge/trace_file.h"
#include "bridge/trace_line.h"
#include "bridge/traced_object.h"

namespace wb::trace {

namespace internal {
std::atomic<int> g_state{kUnread};
}  // namespace internal

namespace {

using internal::Emit;
using internal::g_state;
using internal::Trace;

std::atomic<TraceFile*> g_file{nullptr};

void Install(const std::string& path) {
  // Every file installed stays open for the life of the process: another
  // thread may still be writing to an earlier one (tests reconfigure).
  static std::vector<std::unique_ptr<TraceFile>> files;
  std::unique_ptr<TraceFile> file = path.empty() ? nullptr : OpenTraceFile(path);
  TraceFile* raw = file.get();
  if (file)
    files.push_back(std::move(file));
  g_file.store(raw, std::memory_order_release);
  g_state.store(raw ? internal::kOn : internal::kOff, std::memory_order_release);
}

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

}  // namespace

namespace internal {

bool ReadConfiguration() noexcept {
  // Once per process, whichever thread comes first.
  static const bool read = [] {
    try {
      Install(ConfiguredPath());
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
    if (!file->AppendLine(std::move(line).Finish()))
      g_state.store(kOff, std::memory_order_release);
  } catch (...) {
    // Out of memory: the line is lost, the call goes on.
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

AutomationObject Created(StringView prog_id, AutomationObject object) {
  if (!Enabled() || object.IsNothing())
    return object;
  try {
    AutomationObject traced(new TracedObject(String(prog_id), object));
    Emit(std::move(TraceLine("create").Text("progid", prog_id)));
    return traced;
  } catch (...) {
    // Out of memory: the component goes on untraced.
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

void ConfigureForTesting(const std::string& path) {
  Install(path);
}

}  // namespace wb::trace
