#pragma once
// The editor font size as the fonts use it. The settings file keeps any number it is given; a
// hand-edited size far outside what a font can be would overflow the height computations.

#include <algorithm>
#include <cmath>

namespace wrenfold::ui {

inline constexpr double kSmallestFontPoints = 1.0;
inline constexpr double kLargestFontPoints = 1638.0;  // the rich edit control's largest size
inline constexpr double kDefaultFontPoints = 11.0;

// `points` clamped to the sizes a font can have; a value that is not a number gives the default.
inline double usable_font_points(double points) {
  if (std::isnan(points)) return kDefaultFontPoints;
  return std::clamp(points, kSmallestFontPoints, kLargestFontPoints);
}

}  // namespace wrenfold::ui
