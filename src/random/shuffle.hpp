#pragma once

#include <cstdint>
#include <span>

#include "random/generator.hpp"

namespace parasim::random {

// Fills vector[0 .. n) with offset + 1 ... offset + n and puts them in a random
// order by n exchanges of two freely chosen positions, drawing exactly 2 * n
// deviates. This is not a uniform shuffle; its orders and its number of draws are
// part of the run's random sequence. Nothing is drawn or written for n <= 0.
// Precondition: vector.size() >= n.
inline void shuffle(std::span<std::int32_t> vector, std::int32_t n, std::int32_t offset,
                    Generator& generator) {
  if (n <= 0) {
    return;
  }
  std::int32_t* const entries = vector.data();
  for (std::int32_t i = 0; i < n; ++i) {
    entries[i] = offset + i + 1;
  }
  // A local copy of the generator stays in registers: the entries are 32-bit words
  // like its state, so the compiler would otherwise reload the state after every
  // exchange.
  Generator local = generator;
  const auto count = static_cast<std::uint32_t>(n);
  for (std::int32_t exchange = 0; exchange < n; ++exchange) {
    const std::uint32_t j = local.next_index(count);
    const std::uint32_t k = local.next_index(count);
    const std::int32_t held = entries[j];
    entries[j] = entries[k];
    entries[k] = held;
  }
  generator = local;
}

}  // namespace parasim::random
