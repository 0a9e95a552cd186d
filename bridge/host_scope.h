// The frame of a host's call into the component (a method of CWorkbench).
//
// While the call runs, the calling thread's module state stays alive, even
// when the host lets go of its last object meanwhile (a component that pumps
// messages lets the host's handlers run inside our call): the translation
// cache and the components it holds are still on the stack. The state goes,
// if it has to, when the call returns.
//
// Calls nest: a component or the host may call again while a call runs. A
// call is refused with the runtime's error 28, "Out of stack space", before
// it enters, when the thread has less than kHostCallStackMargin of stack left
// (each level costs stack: ours, OLE Automation's, the component's and the
// host's, and a host thread may have been made with little of it), or when
// kMaxHostCallDepth calls run on it already.
#pragma once

#include <cstddef>
#include <utility>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/trap.h"

namespace wb {

inline constexpr int kMaxHostCallDepth = 64;
// What one call may use of the stack at most, with room to spare: the
// figures it rests on are in docs/performance.md ("The stack a call needs").
inline constexpr size_t kHostCallStackMargin = sizeof(void*) == 8 ? 48 * 1024 : 32 * 1024;

class HostCallScope {
 public:
  // Raises error 28 when the thread is already kMaxHostCallDepth calls deep,
  // or has less than kHostCallStackMargin of stack left.
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
