// The error traps: how a routine catches the errors raised below it.
//
// Arming a trap clears `Err`; any error raised after that, by a component or
// by the runtime (a C++ exception included), leaves the body and is in `Err`
// when the handler runs. The handlers that the system's routines use:
//
//   Trap(body, handler)         the handler decides: re-raise with a new
//                               Source or Description, or report and return
//   TrapPassingThrough(body)    re-raise the five fields unchanged
//   TrapKeepingPendingError(b)  report nothing and leave the error that was
//                               pending before the call as it was
//   CaptureError(body)          hand the raised error back as a value (the
//                               COM boundary, window procedures, and tests)
//
// A routine without a trap lets the error travel to its caller.
#pragma once

#include <utility>

#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb {

// Runs `body` under an armed trap. On any failure `Err` describes it and
// `handler` runs; its result (or its own raise) is the routine's.
template <class Body, class Handler>
auto Trap(Body&& body, Handler&& handler) -> decltype(body()) {
  Err::Clear();
  try {
    return body();
  } catch (...) {
    Err::CaptureCurrentException();
  }
  return handler();
}

// A trap whose handler re-raises the error unchanged, so that the caller sees
// the same Number, Source, Description, HelpFile and HelpContext. Its use
// over no trap at all: the body's references are released before the caller's
// handler runs.
template <class Body>
auto TrapPassingThrough(Body&& body) -> decltype(body()) {
  return Trap(std::forward<Body>(body), []() -> decltype(body()) { Err::ReRaise(); });
}

// Runs `body` so that it can neither raise nor disturb an error that its
// caller is handling: the error pending at entry (read before the trap is
// armed) is pending again afterwards with all five fields, and a failure in
// `body` is dropped (with no error pending at entry, `Err` is left clear).
// Returns whether `body` ran to its end.
template <class Body>
bool TrapKeepingPendingError(Body&& body) {
  // Moved, not copied, so that keeping it cannot fail for lack of memory.
  ErrRecord pending;
  if (Err::Number() != 0)
    pending = std::move(Err::Get());
  bool completed = false;
  Err::Clear();
  try {
    body();
    completed = true;
  } catch (...) {
    Err::CaptureCurrentException();
  }
  if (Err::Number() != 0 || pending.number != 0)
    Err::Get() = std::move(pending);
  return completed;
}

// Runs `body` under an armed trap and returns what it raised: Number 0 when
// it raised nothing. `Err` is left clear either way, as the runtime leaves it
// when a routine returns. Never throws.
template <class Body>
ErrRecord CaptureError(Body&& body) noexcept {
  ErrRecord raised;
  Err::Clear();
  try {
    std::forward<Body>(body)();
  } catch (...) {
    Err::CaptureCurrentException();
    // Moving the texts out allocates nothing, so this cannot throw.
    raised = std::move(Err::Get());
    // An error is never reported as success.
    if (raised.number == 0)
      raised.number = rt::kInternalError;
  }
  Err::Clear();
  return raised;
}

}  // namespace wb
