#include "refsuite/raise_style.h"

namespace refsuite {

namespace {
thread_local RaiseStyle t_style = RaiseStyle::kExcepInfo;
}

void SetRaiseStyle(RaiseStyle style) {
  t_style = style;
}
RaiseStyle LastRaiseStyle() {
  return t_style;
}

}  // namespace refsuite
