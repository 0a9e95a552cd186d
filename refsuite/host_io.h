// The few host services the suite's core needs: the process id, environment
// variables, reading a file and appending a line to one. UTF-8 paths and
// values on every platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace refsuite {

// GetCurrentProcessId on Windows, getpid elsewhere.
uint32_t CurrentProcessId();

// The variable's value; nullopt when unset or empty.
std::optional<std::string> GetEnv(const char* name);

// The whole file; nullopt when it cannot be read.
std::optional<std::string> ReadTextFile(const std::string& path);

// Appends `line` and a line break, flushed at once; the file is opened for
// each line so that several processes can append in turn. Failures are
// ignored: the journal never breaks a call.
void AppendLine(const std::string& path, const std::string& line);

// A diagnostic on stderr (and the debugger's output on Windows).
void ReportProblem(const std::string& message);

}  // namespace refsuite
