#include "bridge/host_scope.h"

#include "core/platform.h"
#include "core/runtime_errors.h"

namespace wb {

namespace {

thread_local int t_depth = 0;

}  // namespace

HostCallScope::Level::Level() {
  if (t_depth >= kMaxHostCallDepth || platform::StackLeft() < kHostCallStackMargin)
    Err::RaiseRuntime(rt::kOutOfStackSpace);
  ++t_depth;
}

HostCallScope::Level::~Level() {
  --t_depth;
}

int HostCallScope::Depth() noexcept {
  return t_depth;
}

}  // namespace wb
