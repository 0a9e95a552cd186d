// The name of a trace file, checked as Windows reads it, before anything is
// opened: what the text alone says about where a write would go. The checks
// that need the system (the drive's kind, the file's kind, its owner, a link
// at its end) are made in trace/trace_file_win.cc.
#pragma once

#include <string_view>

namespace wb::trace {

enum class PathProblem {
  kNone,
  kRelative,   // no drive and root ("trace.jsonl", "C:trace", "\trace")
  kShare,      // a UNC path, "\\server\share\...", also as "\\?\UNC\..."
  kNamespace,  // the device namespaces: "\\.\pipe\x", "\\.\COM1", "\??\...",
               // "\\?\GLOBALROOT\..." (only "\\?\X:\..." is a disk path)
  kDevice,     // a DOS device in any folder: CON, NUL, COM1, LPT1.txt, ...
  kBadName,    // a stream (":name"), wildcards, control characters, or a
               // name that ends in a separator
};

// The first problem of `path` (UTF-16, either separator), or kNone.
PathProblem CheckTracePath(std::u16string_view path);

}  // namespace wb::trace
