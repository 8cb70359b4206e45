#include "random/avx512_block_fill.hpp"

#if PARASIM_X86_KERNELS

#include "random/avx512_positions.hpp"

namespace parasim::random::avx512 {

namespace {

// Rows r[q] hold step q of lanes 0 ... 15; afterwards r[i] holds steps 0 ... 15 of lane i.
// Pairs of rows are interleaved in 32 and then 64 bits, which leaves, in each 128-bit
// block, four steps of one lane; the blocks are then put in place in two rounds.
PARASIM_AVX512_TARGET inline void transpose(__m512i (&r)[16]) {
  __m512i t[16];
  for (std::size_t i = 0; i < 16; i += 2) {
    t[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
  }
  // u[4g + c], block b: lane 4b + c, steps 4g ... 4g + 3.
  __m512i u[16];
  for (std::size_t g = 0; g < 16; g += 4) {
    u[g] = _mm512_unpacklo_epi64(t[g], t[g + 2]);
    u[g + 1] = _mm512_unpackhi_epi64(t[g], t[g + 2]);
    u[g + 2] = _mm512_unpacklo_epi64(t[g + 1], t[g + 3]);
    u[g + 3] = _mm512_unpackhi_epi64(t[g + 1], t[g + 3]);
  }
  for (std::size_t c = 0; c < 4; ++c) {
    const __m512i v0 = _mm512_shuffle_i32x4(u[c], u[4 + c], 0x44);
    const __m512i v1 = _mm512_shuffle_i32x4(u[c], u[4 + c], 0xEE);
    const __m512i v2 = _mm512_shuffle_i32x4(u[8 + c], u[12 + c], 0x44);
    const __m512i v3 = _mm512_shuffle_i32x4(u[8 + c], u[12 + c], 0xEE);
    r[c] = _mm512_shuffle_i32x4(v0, v2, 0x88);
    r[4 + c] = _mm512_shuffle_i32x4(v0, v2, 0xDD);
    r[8 + c] = _mm512_shuffle_i32x4(v1, v3, 0x88);
    r[12 + c] = _mm512_shuffle_i32x4(v1, v3, 0xDD);
  }
}

// Where sixteen consecutive outputs of each of two lanes go, at `at` and `other_at`: as they
// are, or as exchange positions.
struct StoreOutputs {
  std::uint32_t* out;
  PARASIM_AVX512_TARGET void operator()(std::size_t at, __m512i outputs, std::size_t other_at,
                                        __m512i other_outputs) const {
    _mm512_storeu_si512(out + at, outputs);
    _mm512_storeu_si512(out + other_at, other_outputs);
  }
};

struct StoreNarrowPositions {
  __m512i factor;
  std::uint16_t* out;
  PARASIM_AVX512_TARGET void operator()(std::size_t at, __m512i outputs, std::size_t other_at,
                                        __m512i other_outputs) const {
    const __m512i positions = thirty_two_narrow_positions(outputs, other_outputs, factor);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), _mm512_castsi512_si256(positions));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + other_at),
                        _mm512_extracti64x4_epi64(positions, 1));
  }
};

struct StoreWidePositions {
  __m512i factor;
  std::uint32_t* out;
  PARASIM_AVX512_TARGET void operator()(std::size_t at, __m512i outputs, std::size_t other_at,
                                        __m512i other_outputs) const {
    _mm512_storeu_si512(out + at, sixteen_positions(outputs, factor));
    _mm512_storeu_si512(out + other_at, sixteen_positions(other_outputs, factor));
  }
};

template <typename Store>
PARASIM_AVX512_TARGET XorshiftWords fill_lanes(const XorshiftWords* lane_start, std::size_t stretch,
                                               const std::uint32_t* words, const Store& store) {
  alignas(64) std::uint32_t start_words[3][lanes];
  for (std::size_t lane = 0; lane < lanes; ++lane) {
    start_words[0][lane] = lane_start[lane].x;
    start_words[1][lane] = lane_start[lane].y;
    start_words[2][lane] = lane_start[lane].z;
  }
  __m512i x = _mm512_load_si512(start_words[0]);
  __m512i y = _mm512_load_si512(start_words[1]);
  __m512i z = _mm512_load_si512(start_words[2]);
  for (std::size_t step = 0; step < stretch; step += lanes) {
    __m512i rows[lanes];
    for (__m512i& row : rows) {
      __m512i t = _mm512_xor_si512(x, _mm512_slli_epi32(x, 16));
      t = _mm512_xor_si512(t, _mm512_srli_epi32(t, 5));
      // t ^ (t << 1) ^ y ^ z, the shift as an addition, which more ports carry out.
      t = _mm512_ternarylogic_epi32(t, _mm512_add_epi32(t, t), _mm512_xor_si512(y, z), 0x96);
      x = y;
      y = z;
      z = t;
      row = t;
    }
    transpose(rows);
    for (std::size_t lane = 0; lane < lanes; lane += 2) {
      const std::size_t at = lane * stretch + step;
      const std::size_t other_at = at + stretch;
      store(at, _mm512_xor_si512(rows[lane], _mm512_loadu_si512(words + at)), other_at,
            _mm512_xor_si512(rows[lane + 1], _mm512_loadu_si512(words + other_at)));
    }
  }
  alignas(64) std::uint32_t end_words[3][lanes];
  _mm512_store_si512(end_words[0], x);
  _mm512_store_si512(end_words[1], y);
  _mm512_store_si512(end_words[2], z);
  return {end_words[0][lanes - 1], end_words[1][lanes - 1], end_words[2][lanes - 1]};
}

}  // namespace

PARASIM_AVX512_TARGET XorshiftWords fill_outputs(const XorshiftWords* lane_start,
                                                 std::size_t stretch, const std::uint32_t* words,
                                                 std::uint32_t* out) {
  return fill_lanes(lane_start, stretch, words, StoreOutputs{out});
}

PARASIM_AVX512_TARGET XorshiftWords fill_positions(const XorshiftWords* lane_start,
                                                   std::size_t stretch, const std::uint32_t* words,
                                                   std::uint32_t n, std::uint16_t* out) {
  const __m512i factor = _mm512_set1_epi64(static_cast<long long>(n));
  return fill_lanes(lane_start, stretch, words, StoreNarrowPositions{factor, out});
}

PARASIM_AVX512_TARGET XorshiftWords fill_positions(const XorshiftWords* lane_start,
                                                   std::size_t stretch, const std::uint32_t* words,
                                                   std::uint32_t n, std::uint32_t* out) {
  const __m512i factor = _mm512_set1_epi64(static_cast<long long>(n));
  return fill_lanes(lane_start, stretch, words, StoreWidePositions{factor, out});
}

}  // namespace parasim::random::avx512

#endif
