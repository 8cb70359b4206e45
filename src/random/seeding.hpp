#pragma once

#include <cstdint>

#include "random/generator.hpp"

namespace parasim::random {

// The wall clock in whole ticks of 100 microseconds, modulo 2^31.
std::int32_t tick_count();

// Seeds generator from a tick count c, read from the clock (tick_count) or given by
// the researcher to repeat a run: the seed words are c, c + 37, c + 74 and c + 111
// in wrapping 32-bit signed arithmetic. A run seeds once, before its first draw.
void init_random_seed(Generator& generator, std::int32_t ticks);

}  // namespace parasim::random
