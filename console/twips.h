// Twips (1/1440 inch), the console's scale unit, and screen pixels.
#pragma once

#include <cmath>

namespace wb::console {

inline constexpr int kTwipsPerInch = 1440;

// A length in pixels at `dpi` pixels per inch, in twips.
inline float PixelsToTwips(int pixels, int dpi) {
  return static_cast<float>(pixels) * kTwipsPerInch / static_cast<float>(dpi);
}

// A length in twips, in whole pixels at `dpi` (rounded to nearest).
inline int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

}  // namespace wb::console
