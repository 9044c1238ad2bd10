// Page zoom steps of the main view's zoom commands.
#pragma once

#include <algorithm>

namespace vuko::zoom {

inline constexpr double kStep = 0.1;
inline constexpr double kMax = 2.0;
inline constexpr double kMin = 0.6;
inline constexpr double kNormal = 1.0;

inline double in(double current) {
  return std::min(current + kStep, kMax);
}
inline double out(double current) {
  return std::max(current - kStep, kMin);
}

}  // namespace vuko::zoom
