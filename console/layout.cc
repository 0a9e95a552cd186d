#include "console/layout.h"

#include <cmath>

#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb::console {

namespace {

constexpr float kMargin = 50.0f;
constexpr float kBothMargins = 100.0f;

// `minuend - 100` as the window runtime evaluates it: an invalid operand or a
// result out of range is a floating-point fault, reported as an overflow.
float LessBothMargins(float minuend) {
  const float difference = minuend - kBothMargins;
  if (!std::isfinite(minuend) || !std::isfinite(difference))
    Err::RaiseRuntime(rt::kOverflow);
  return difference;
}

}  // namespace

void LayOutLogBox(float scale_width, float scale_height, LogBoxRect& box) {
  box.left = kMargin;
  const float inner_width = LessBothMargins(scale_width);
  box.width = scale_width > kBothMargins ? inner_width : scale_width;
  box.top = kMargin;
  const float inner_height = LessBothMargins(scale_height);
  box.height = scale_height > kBothMargins ? inner_height : 0.0f;
}

}  // namespace wb::console
