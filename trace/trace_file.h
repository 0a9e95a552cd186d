// Where the field trace goes: the file that the process is configured with
// (trace/trace_config.h), opened for appending and shared for reading, one
// whole line per write.
// Windows (trace_file_win.cc) and the native build (trace_file_posix.cc) each
// provide it, with the time and thread stamps that every line carries.
//
// The configured name may come from anyone who can write the user's
// environment or registry, and the process that opens it may be elevated:
// on Windows only an absolute path to a file on a local disk is opened
// (trace/trace_path.h), never a device, a pipe, a share or a link, and the
// file must be the user's own. The name is checked again through the opened
// handle: the path that the system reached must be the configured one (no
// junction, symbolic link, mount point or substituted drive anywhere on
// it), on a volume of this machine. A name that is refused switches the trace off,
// as one that cannot be opened does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wb::trace {

class TraceFile {
 public:
  virtual ~TraceFile() = default;
  // Makes the caller the file's only writer, among this process's threads
  // and every other process that traces to it, until Unlock. Waits a short
  // while at most (a writer holds it for one line); false when the file
  // stayed held, which the caller takes as a failed write. AppendLine is
  // called only in between, so that a check of the size and the end and the
  // append that it allows are one step for all writers.
  virtual bool Lock() = 0;
  virtual void Unlock() = 0;
  // Appends `line` and a line end, and hands it to the system before it
  // returns (a crash later keeps it). The bytes appended; nullopt when the
  // write failed; std::bad_alloc when there was no memory to make the line,
  // which loses the line and nothing more.
  virtual std::optional<size_t> AppendLine(std::string_view line) = 0;
  // The file's size now, other processes' lines included; nullopt when it
  // cannot be read.
  virtual std::optional<uint64_t> Size() = 0;
  // Whether the file's last line ends with `end` (its line end aside).
  virtual bool EndsWith(std::string_view end) = 0;
};

// Opens (creating) `path` (UTF-8) for appending; null when it cannot be
// opened or is refused. A file that ends inside a line (a write that failed
// halfway, in this process or another) gets a line end first, so that no
// line is ever appended onto a torn one. With `make_folder` (a policy's
// path), a missing last folder is made first, once the name has passed
// every check that the file's name must pass; the folders above it must
// exist.
std::unique_ptr<TraceFile> OpenTraceFile(const std::string& path, bool make_folder = false);

// The local date and time with milliseconds: "2026-12-08 21:34:25.123".
std::string LocalTimeStamp();

// The calling thread's id as the system numbers it.
uint64_t CurrentThreadId();

}  // namespace wb::trace
