// Running the portable body of a method of the class so that no exception
// leaves it: the body starts with a clear Err, and whatever error leaves it is
// handed back and cleared from the thread, as the VB runtime clears Err when
// a method returns.
#pragma once

#include <utility>

#include "bridge/err.h"

namespace wb::entry {

struct MethodOutcome {
  bool failed = false;
  ErrRecord error;  // meaningful only when `failed`
};

template <class Body>
MethodOutcome RunMethodBody(Body&& body) noexcept {
  MethodOutcome outcome;
  Err::Clear();
  try {
    std::forward<Body>(body)();
  } catch (...) {
    Err::CaptureCurrentException();
    outcome.failed = true;
    // Moving the texts out allocates nothing, so this cannot throw.
    outcome.error = std::move(Err::Get());
  }
  Err::Clear();
  return outcome;
}

}  // namespace wb::entry
