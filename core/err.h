// The per-thread error record `Err` and the error-trap convention.
//
// A failure is an error in `Err` (Number, Source, Description, HelpFile,
// HelpContext), never a return code. `Err::Raise` fills the record and throws
// `RaisedError`, which carries nothing: the record is the truth. The error
// traps that catch it are in core/trap.h.
#pragma once

#include <cstdint>
#include <optional>

#include "core/text.h"

namespace wb {

struct ErrRecord {
  int32_t number = 0;
  String source;
  String description;
  String help_file;
  int32_t help_context = 0;

  bool operator==(const ErrRecord&) const = default;
};

// Thrown by `Err::Raise`; the details are in the thread's `Err` record.
struct RaisedError {};

class Err {
 public:
  // The calling thread's record.
  static ErrRecord& Get();
  static int32_t Number() { return Get().number; }
  static const String& Source() { return Get().source; }
  static const String& Description() { return Get().description; }
  static const String& HelpFile() { return Get().help_file; }
  static int32_t HelpContext() { return Get().help_context; }

  // Number 0, empty texts, HelpContext 0.
  static void Clear();

  // Raises: every missing argument keeps the value the record holds now.
  // Number 0 cannot be raised; as in the VB runtime it becomes error 5.
  [[noreturn]] static void Raise(int32_t number,
                                 std::optional<String> source = std::nullopt,
                                 std::optional<String> description = std::nullopt,
                                 std::optional<String> help_file = std::nullopt,
                                 std::optional<int32_t> help_context = std::nullopt);

  // Raises one of the runtime's own errors (Source "Workbench", the runtime's
  // text for the number); help fields cleared.
  [[noreturn]] static void RaiseRuntime(int32_t number);

  // Pass-through re-raise: reads the five fields and raises them unchanged.
  [[noreturn]] static void ReRaise();

  // Called inside a catch block: turns whatever is in flight into `Err`.
  // `RaisedError` is already there; out-of-memory becomes error 7; any other
  // exception becomes error 51 (internal error), so no failure is lost.
  static void CaptureCurrentException() noexcept;
};

}  // namespace wb
