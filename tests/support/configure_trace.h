// Tests: from now on the trace goes to `path` (empty: off), as if the
// process had been configured with it. Call it between calls, never during
// one: the earlier file is closed.
#pragma once

#include <cstdint>
#include <string>

#include "trace/trace.h"
#include "trace/trace_config.h"

namespace wb::trace {

inline void ConfigureForTesting(const std::string& path, uint64_t limit = kDefaultTraceLimit) {
  internal::Install(path, limit);
}

}  // namespace wb::trace
