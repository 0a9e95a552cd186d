// The Resize layout of the console: the log box fills the window's inner area
// less a margin of 50 twips on every side, when the area is large enough.
#pragma once

namespace wb::console {

// The log box's rectangle in twips, single precision like the window's scale.
struct LogBoxRect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;

  bool operator==(const LogBoxRect&) const = default;
};

// Lays the log box out for an inner area of `scale_width` by `scale_height`
// twips, assigning Left, Width, Top and Height in that order:
//   Width  = ScaleWidth - 100 when that area is wider than 100, else ScaleWidth;
//   Height = ScaleHeight - 100 when it is higher than 100, else 0.
// The subtraction runs before the comparison; a floating-point fault in it
// (an operand that is not a finite number) raises error 6 (Overflow) through
// Err, and the assignments made before it stay in `box`.
void LayOutLogBox(float scale_width, float scale_height, LogBoxRect& box);

}  // namespace wb::console
