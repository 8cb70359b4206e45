#include "random/xorshift_jump.hpp"

#include <cassert>

#include "random/x86_intrinsics.hpp"

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
      for (std::size_t word = 0; word < 3; ++word) {
        columns_[nibble][word][value] = image[word];
      }
    }
  }
}

#if PARASIM_X86_KERNELS
namespace {

// The images of sixteen states at once, the states' words in the 32-bit places of three
// registers; the permutation reads the low four bits of each place as the nibble's value.
template <typename Columns>
PARASIM_AVX512_TARGET void advance_sixteen(const Columns& columns, XorshiftWords* lanes) {
  alignas(64) std::uint32_t words[3][16];
  for (std::size_t lane = 0; lane < 16; ++lane) {
    words[0][lane] = lanes[lane].x;
    words[1][lane] = lanes[lane].y;
    words[2][lane] = lanes[lane].z;
  }
  __m512i sum[3] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
  for (std::size_t word = 0; word < 3; ++word) {
    const __m512i state = _mm512_load_si512(words[word]);
    for (unsigned q = 0; q < 8; ++q) {
      const __m512i nibbles = _mm512_srli_epi32(state, 4 * q);
      const auto& column = columns[8 * word + q];
      for (std::size_t image_word = 0; image_word < 3; ++image_word) {
        sum[image_word] = _mm512_xor_si512(
            sum[image_word],
            _mm512_permutexvar_epi32(nibbles, _mm512_load_si512(column[image_word].data())));
      }
    }
  }
  for (std::size_t word = 0; word < 3; ++word) {
    _mm512_store_si512(words[word], sum[word]);
  }
  for (std::size_t lane = 0; lane < 16; ++lane) {
    lanes[lane] = {words[0][lane], words[1][lane], words[2][lane]};
  }
}

}  // namespace
#endif

void XorshiftJump::advance(std::span<XorshiftWords> lanes, VectorPath path) const {
  assert(processor_paths().has(path));
  switch (path) {
    case VectorPath::avx512:
#if PARASIM_X86_KERNELS
      if (lanes.size() == 16) {
        advance_sixteen(columns_, lanes.data());
        return;
      }
#endif
      [[fallthrough]];  // other numbers of lanes, or not in this build
    case VectorPath::avx2:
    case VectorPath::portable:
      break;
  }
  for (XorshiftWords& lane : lanes) {
    lane = (*this)(lane);
  }
}

}  // namespace parasim::random
