// The frame of a host's call into the component (a method of CWorkbench).
//
// While the call runs, the calling thread's module state stays alive, even
// when the host lets go of its last object meanwhile (a component that pumps
// messages lets the host's handlers run inside our call): the translation
// cache and the components it holds are still on the stack. The state goes,
// if it has to, when the call returns.
//
// Calls nest: a component or the host may call again while a call runs. More
// than kMaxHostCallDepth of them on one thread are refused with the runtime's
// error 28, "Out of stack space", before they enter; each level costs stack,
// and a 32-bit host has little of it.
#pragma once

#include <utility>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/trap.h"

namespace wb {

inline constexpr int kMaxHostCallDepth = 64;

class HostCallScope {
 public:
  // Raises error 28 when the thread is already kMaxHostCallDepth calls deep.
  HostCallScope() = default;
  HostCallScope(const HostCallScope&) = delete;
  HostCallScope& operator=(const HostCallScope&) = delete;

  // Host calls running on the calling thread.
  static int Depth() noexcept;

 private:
  class Level {
   public:
    Level();
    ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;
  };
  // In this order: a refused call holds nothing.
  Level level_;
  ThreadStateUser hold_;
};

// Runs `body` as a host's call and returns what it raised (Number 0: none).
template <class Body>
ErrRecord CaptureHostCall(Body&& body) noexcept {
  return CaptureError([&] {
    HostCallScope scope;
    std::forward<Body>(body)();
  });
}

}  // namespace wb
