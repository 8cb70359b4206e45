#include "random/seeding.hpp"

#include <chrono>

namespace parasim::random {

std::int32_t tick_count() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count() / 100;
  return static_cast<std::int32_t>(static_cast<std::uint64_t>(ticks) & 0x7FFFFFFFu);
}

void init_random_seed(Generator& generator, std::int32_t ticks) {
  std::int32_t seed[Generator::seed_size];
  for (int i = 0; i < Generator::seed_size; ++i) {
    // Wrapping signed arithmetic: a tick count near 2^31 - 1 gives negative words.
    seed[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) +
                                        37u * static_cast<std::uint32_t>(i));
  }
  generator.put_seed(seed);
}

}  // namespace parasim::random
