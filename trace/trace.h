// The field trace: what Workbench asked of the store suite and what came back,
// for the support engineer who asks why a store function failed in a store.
//
// Off unless the process is configured with a file (trace/trace_config.h: a
// policy, WORKBENCH_TRACE, or the user's TraceFile value), which is read once
// per process; a policy may forbid it. Off, nothing is written anywhere and the cost is
// one flag test per host call, component creation and notice. On, each event
// is one JSON object on one line, appended and handed to the system at once:
//
//   host-enter / host-leave   a host's call of a method of CWorkbench, with
//                             the function id and the outcome (all five
//                             fields of the error that the host got)
//   host-refused              a call refused before it entered (its argument)
//   create / create-failed    a component created by ProgID, or the error
//   get / call / let          a property read, method call or assignment:
//                             ProgID, member, every argument's kind and value
//                             and whether it went by reference, what came
//                             back (or the error), what the component wrote
//                             into by-reference arguments
//   release                   the component's last reference let go
//   notice                    a notice box: title, text, icon
//
// Every line carries "time" (local, with milliseconds), "pid" and "thread".
// Component events have the shape of the reference suite's journal lines, so
// that one renderer serves both. A text longer than 256 characters is cut
// there, and its full length kept beside it. A file that cannot be opened or
// written, or whose name is refused (trace/trace_file.h), switches the trace
// off for the process; the host sees nothing of it. A line that would take
// the file past its size limit is replaced by a last one:
//
//   trace-full                the file reached its limit ("limit", in bytes);
//                             the trace stopped for this process, and a
//                             process that finds the file full writes nothing
//
// This header is the switch, the file and the events. Beside it in trace/:
// the wrapper of traced components (traced_object.h), the writing of each
// line (trace_line.h), where the configuration comes from and which place
// decides (trace_config.h, one reader per platform), the opening of the
// file (trace_file.h, one .cc per platform), the checks on its name
// (trace_path.h), and the administrative template of the policies
// (policy/).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/automation_object.h"
#include "core/err.h"
#include "core/text.h"

namespace wb::trace {

namespace internal {
enum State : int { kUnread, kOff, kOn };
extern std::atomic<int> g_state;
bool ReadConfiguration() noexcept;
// From now on the trace goes to `path` (empty: off), with the size limit
// `limit`; `make_folder` as OpenTraceFile takes it (trace/trace_file.h).
// The configuration is read and installed once per process; a later call
// (a test's) closes the earlier file, so no call may be running.
void Install(const std::string& path, uint64_t limit, bool make_folder = false);
}  // namespace internal

// Whether the trace is on for the process.
inline bool Enabled() noexcept {
  const int state = internal::g_state.load(std::memory_order_acquire);
  return state == internal::kUnread ? internal::ReadConfiguration() : state == internal::kOn;
}

class TraceLine;

namespace internal {
// Appends `line` to the file while the trace is on; a write that fails
// switches the trace off.
void Emit(TraceLine&& line) noexcept;

// Runs `write` (which builds and emits a line) when the trace is on; nothing
// it throws reaches the caller.
template <class Write>
void Trace(Write&& write) noexcept {
  if (!Enabled())
    return;
  try {
    write();
  } catch (...) {
    // Whatever failed (memory, most likely): the line is lost, the call
    // goes on.
  }
}
}  // namespace internal

// A host's call of `method` (with its function id when it has one) enters,
// and leaves with `error` (Number 0: success).
void HostEnter(StringView method, const int32_t* id) noexcept;
void HostLeave(StringView method, const int32_t* id, const ErrRecord& error) noexcept;
// A host's call refused with `hresult` before it entered.
void HostRefused(StringView method, int32_t hresult) noexcept;

// `object`, just created by ProgID, traced from now on: its member calls and
// its release. Returns what the caller keeps in its place.
ObjectRef Created(StringView prog_id, ObjectRef object);
void CreateFailed(StringView prog_id, const ErrRecord& error) noexcept;

// A notice box about to be shown.
void Notice(StringView title, StringView text, int32_t style) noexcept;

}  // namespace wb::trace
