// Where the field trace goes: the file that the process is configured with,
// opened for appending and shared for reading, one whole line per write.
// Windows (trace_file_win.cc) and the native build (trace_file_posix.cc) each
// provide it, with the time and thread stamps that every line carries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace wb::trace {

// The configured trace file: the environment variable WORKBENCH_TRACE, or
// else (Windows) the string value TraceFile under
// HKEY_CURRENT_USER\Software\Workbench. Empty when neither names a file.
std::string ConfiguredPath();

class TraceFile {
 public:
  virtual ~TraceFile() = default;
  // Appends `line` and a line end, and hands it to the system before it
  // returns (a crash later keeps it). Safe from any thread. False when the
  // write failed; std::bad_alloc when there was no memory to make the line,
  // which loses the line and nothing more.
  virtual bool AppendLine(std::string_view line) = 0;
};

// Opens (creating) `path` (UTF-8) for appending; null when it cannot be opened.
std::unique_ptr<TraceFile> OpenTraceFile(const std::string& path);

// The local date and time with milliseconds: "2026-12-08 21:34:25.123".
std::string LocalTimeStamp();

// The calling thread's id as the system numbers it.
uint64_t CurrentThreadId();

}  // namespace wb::trace
