#pragma once

#include <limits>

namespace parasim::rounding {

// The model forms a few products and quotients with a 64-bit significand before it
// stores them as doubles: the mate threshold (genome size 10 x 0.7 must stay below 7),
// the host positions and the survival exponent. Results depend on it, so a platform
// whose long double is not the x87 extended format would change runs: refuse to build.
using extended_real = long double;
static_assert(std::numeric_limits<extended_real>::digits == 64,
              "parasim needs a long double with a 64-bit significand (x86-64 with GCC or "
              "Clang): the mate threshold, the host line and the survival probability are "
              "formed in it, and another precision changes the results of a run");

}  // namespace parasim::rounding
