#include "rounding/rounding.hpp"

#include <cmath>
#include <limits>

namespace parasim::rounding {

namespace {
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
}  // namespace

std::int32_t nint(double x) {
  if (std::isnan(x)) return 0;
  // 2147483647.5 and -2147483648.5 are doubles; from there on the result is out of range.
  if (x >= 2147483647.5) return kMax;
  if (x <= -2147483648.5) return kMin;
  const double whole = std::trunc(x);
  const double fraction = x - whole;  // exact: no bits are lost subtracting the integer part
  double rounded = whole;
  if (fraction >= 0.5) {
    rounded += 1.0;
  } else if (fraction <= -0.5) {
    rounded -= 1.0;
  }
  return static_cast<std::int32_t>(rounded);
}

std::int32_t nint(float x) {
  return nint(static_cast<double>(x));  // exact widening
}

std::int32_t int_trunc(extended_real x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0L) return kMax;
  if (x <= -2147483649.0L) return kMin;
  return static_cast<std::int32_t>(x);  // truncates toward zero, in range here
}

}  // namespace parasim::rounding
