#pragma once

#include <cstdint>

namespace parasim::random {

// The run's one stream of uniform deviates: a three-word xorshift generator
// combined by XOR with a multiplicative congruential word. Every random decision
// of a run draws from one instance, and the order and number of draws are part of
// the run's behaviour.
class Generator {
 public:
  struct State {
    std::uint32_t x = 0, y = 0, z = 0, w = 0;
    friend bool operator==(const State&, const State&) = default;
  };

  // The masks combined with the four seed words when a seed is loaded.
  static constexpr std::uint32_t seed_mask[4] = {0xF95F9500u, 0x0F95F950u, 0x00F95F95u,
                                                 0x22222222u};
  static constexpr int seed_size = 4;

  Generator() = default;
  explicit Generator(const State& state) : state_(state), product_(state.w * multiplier) {}

  // Replaces the whole state from four seed words, taken as their 32-bit patterns.
  void put_seed(const std::int32_t (&seed)[seed_size]) {
    state_.x = static_cast<std::uint32_t>(seed[0]) ^ seed_mask[0];
    state_.y = static_cast<std::uint32_t>(seed[1]) ^ seed_mask[1];
    state_.z = static_cast<std::uint32_t>(seed[2]) ^ seed_mask[2];
    state_.w = static_cast<std::uint32_t>(seed[3]) ^ seed_mask[3];
    product_ = state_.w * multiplier;
  }

  // One step of the generator; returns its 32-bit output k.
  std::uint32_t next_output() {
    std::uint32_t t = state_.x ^ (state_.x << 16);
    t ^= t >> 5;
    t ^= t << 1;
    t ^= state_.y ^ state_.z;
    state_.x = state_.y;
    state_.y = state_.z;
    state_.z = t;
    advance_multiplicative_word();
#ifdef PARASIM_COUNT_DEVIATES
    ++deviates_drawn_;
#endif
    return state_.z ^ state_.w;
  }

  // The next uniform deviate: k / 2^32, exactly; 0.0 can occur, 1.0 cannot.
  double uniform_deviate() { return static_cast<double>(next_output()) * 0x1p-32; }

  // A choice of one of n items (n >= 1), as INT(n * u) for the next deviate u, 0-based.
  // The product is formed exactly, in 64-bit integer arithmetic.
  std::uint32_t next_index(std::uint32_t n) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(n) * next_output()) >> 32);
  }

  const State& state() const { return state_; }

#ifdef PARASIM_COUNT_DEVIATES
  std::uint64_t deviates_drawn() const { return deviates_drawn_; }
#endif

  static constexpr std::uint32_t multiplier = 16807u;

 private:
  static constexpr std::uint32_t prime = 0x7FFFFFFFu;
  // prime x multiplier, cut to 32 bits.
  static constexpr std::uint32_t prime_product = prime * multiplier;

  // w becomes ((w x 16807) mod 2^32) mod (2^31 - 1). The cut product of the current
  // w is kept (product_), so that a step needs no division and its chain of dependent
  // operations is one multiplication and one subtraction: with c = product_ div
  // prime, the new w is product_ - c x prime, and its own cut product is
  // product_ x 16807 - c x (prime x 16807), all modulo 2^32. c is the top bit of the
  // product except for three products (prime, 2 x prime and 2 x prime + 1), which a
  // branch that is practically never taken corrects; a data-dependent choice here
  // would be mispredicted every other step.
  void advance_multiplicative_word() {
    const std::uint32_t product = product_;
    const auto top_bit = static_cast<std::uint32_t>(static_cast<std::int32_t>(product) >> 31);
    std::uint32_t w = product - (top_bit & prime);
    std::uint32_t next_product = product * multiplier - (top_bit & prime_product);
    if (w >= prime) [[unlikely]] {
      w -= prime;
      next_product -= prime_product;
    }
    state_.w = w;
    product_ = next_product;
  }

  State state_;
  std::uint32_t product_ = 0;  // (state_.w x 16807) mod 2^32
#ifdef PARASIM_COUNT_DEVIATES
  std::uint64_t deviates_drawn_ = 0;
#endif
};

}  // namespace parasim::random
