#pragma once

#include <cstdint>

#include "rounding/extended_real.hpp"

namespace parasim::rounding {

// NINT: nearest integer, halves away from zero, decided on the exact value
// (nint(0.49999999999999994) is 0). Values beyond the 32-bit range saturate;
// a not-a-number gives 0.
std::int32_t nint(double x);
std::int32_t nint(float x);

// INT: truncation toward zero. Accepts the 64-bit-significand intermediates the
// model forms (extended_real). Values beyond the 32-bit range saturate; a
// not-a-number gives 0.
std::int32_t int_trunc(extended_real x);

}  // namespace parasim::rounding
