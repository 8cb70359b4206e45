#include "random/xorshift_jump.hpp"

namespace parasim::random {

namespace {

constexpr std::size_t state_bits = 96;

// A linear map of the 96 state bits, as the images of the unit states.
using Matrix = std::array<XorshiftWords, state_bits>;

XorshiftWords unit_state(std::size_t bit) {
  XorshiftWords s;
  const std::uint32_t one = std::uint32_t{1} << (bit % 32);
  (bit < 32 ? s.x : bit < 64 ? s.y : s.z) = one;
  return s;
}

XorshiftWords apply(const Matrix& m, const XorshiftWords& s) {
  XorshiftWords result;
  for (std::size_t bit = 0; bit < state_bits; ++bit) {
    const std::uint32_t word = bit < 32 ? s.x : bit < 64 ? s.y : s.z;
    if ((word >> (bit % 32)) & 1u) {
      result.x ^= m[bit].x;
      result.y ^= m[bit].y;
      result.z ^= m[bit].z;
    }
  }
  return result;
}

// first, then second.
Matrix compose(const Matrix& first, const Matrix& second) {
  Matrix result;
  for (std::size_t bit = 0; bit < state_bits; ++bit) {
    result[bit] = apply(second, first[bit]);
  }
  return result;
}

}  // namespace

XorshiftJump::XorshiftJump(std::uint64_t distance) {
  Matrix power;  // the step, squared once per bit of distance
  Matrix total;  // identity at first
  for (std::size_t bit = 0; bit < state_bits; ++bit) {
    power[bit] = next_xorshift_words(unit_state(bit));
    total[bit] = unit_state(bit);
  }
  for (; distance != 0; distance >>= 1) {
    if (distance & 1u) {
      total = compose(total, power);
    }
    power = compose(power, power);
  }
  for (std::size_t nibble = 0; nibble < nibble_count; ++nibble) {
    for (std::uint32_t value = 0; value < 16; ++value) {
      Image image = {0, 0, 0, 0};
      for (std::size_t b = 0; b < 4; ++b) {
        if ((value >> b) & 1u) {
          const XorshiftWords& column = total[4 * nibble + b];
          image ^= Image{column.x, column.y, column.z, 0};
        }
      }
      images_[nibble][value] = image;
    }
  }
}

}  // namespace parasim::random
