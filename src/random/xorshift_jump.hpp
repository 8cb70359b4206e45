#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "random/vector_paths.hpp"

namespace parasim::random {

// The three xorshift words of the generator.
struct XorshiftWords {
  std::uint32_t x = 0, y = 0, z = 0;
  friend bool operator==(const XorshiftWords&, const XorshiftWords&) = default;
};

// One step of the xorshift words, as the generator takes it; the new z is the
// xorshift part of the step's output.
constexpr XorshiftWords next_xorshift_words(XorshiftWords s) {
  std::uint32_t t = s.x ^ (s.x << 16);
  t ^= t >> 5;
  t ^= t << 1;
  return {s.y, s.z, t ^ s.y ^ s.z};
}

// The xorshift step only shifts and XORs, so it is a linear map of the 96 state bits
// over GF(2), and so is any number d of steps: a 96 x 96 bit matrix, made once by
// repeated squaring. Applying it advances the words by d steps at once, which lets
// several lanes produce consecutive stretches of the same stream side by side.
class XorshiftJump {
 public:
  explicit XorshiftJump(std::uint64_t distance);

  // The words `distance` steps after s.
  XorshiftWords operator()(const XorshiftWords& s) const {
    Image sum = {0, 0, 0, 0};
    for (std::size_t q = 0; q < 8; ++q) {
      sum ^= images_[q][(s.x >> (4 * q)) & 15u];
      sum ^= images_[8 + q][(s.y >> (4 * q)) & 15u];
      sum ^= images_[16 + q][(s.z >> (4 * q)) & 15u];
    }
    return {sum[0], sum[1], sum[2]};
  }

  // Replaces each of the lanes' words with the words `distance` steps after them; on the
  // avx512 path sixteen lanes at once, each nibble's images looked up for all of them in
  // one permutation of a register.
  void advance(std::span<XorshiftWords> lanes, VectorPath path) const;

 private:
  static constexpr std::size_t nibble_count = 24;

  // An image: x, y, z and a 0, so that it is XORed in one operation.
  typedef std::uint32_t Image __attribute__((vector_size(16)));

  // images_[q][v]: the image of the state whose only set bits are v at nibble q (bits
  // 4q ... 4q + 3, x first, then y, then z); the image of any state is the XOR of the
  // images of its nibbles.
  std::array<std::array<Image, 16>, nibble_count> images_;
  // The same images by nibble and word: columns_[q][w][v] is word w (x, y, z) of
  // images_[q][v], sixteen values side by side as a 512-bit register holds them.
  alignas(64) std::array<std::array<std::array<std::uint32_t, 16>, 3>, nibble_count> columns_;
};

}  // namespace parasim::random
