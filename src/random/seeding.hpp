#pragma once

#include <cstdint>

#include "random/generator.hpp"

namespace parasim::random {

// The wall clock in whole ticks of 100 microseconds, modulo 2^31.
std::int32_t tick_count();

// Seeds generator from a tick count c: the seed words are c, c + 37, c + 74 and
// c + 111 in wrapping 32-bit signed arithmetic.
void seed_from_ticks(Generator& generator, std::int32_t ticks);

// Seeds generator once from the clock; returns the tick count it used.
std::int32_t init_random_seed(Generator& generator);

}  // namespace parasim::random
