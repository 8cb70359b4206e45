// The random source of the model written out step by step: the four-word combined generator,
// seeding from a tick count, uniform deviates and the exchange shuffle. Tests hold the program's
// own generator and permutation to it.
#pragma once

#include <array>
#include <cstdint>

#include "reference/one_based.hpp"

namespace parasim::reference {

struct Generator {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t z = 0;
  std::uint32_t w = 0;
};

// x = seed(1) XOR K1, y = seed(2) XOR K2, z = seed(3) XOR K3, w = seed(4) XOR K4.
void put_seed(Generator& generator, const std::array<std::int32_t, 4>& seed);

// seed(i) = ticks + 37 * (i - 1) in wrapping 32-bit arithmetic, then put_seed.
void init_random_seed(Generator& generator, std::int32_t ticks);

// One xorshf96 step; returns the output word k = z XOR w.
std::uint32_t next_output(Generator& generator);

// k / 2^32 for the next output k.
double uniform_deviate(Generator& generator);

// Fills vector(1..n) with offset+1..offset+n and makes n exchanges of positions
// INT(n*u)+1 and INT(n*v)+1, drawing u then v each time.
void shuffle(Generator& generator, OneBased<std::int32_t>& vector, std::int32_t n,
             std::int32_t offset);

}  // namespace parasim::reference
