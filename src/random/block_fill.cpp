#include "random/block_fill.hpp"

#include "random/avx2_positions.hpp"
#include "random/output_kernels.hpp"

namespace parasim::random {

void fill_outputs_plain(XorshiftWords& s, const std::uint32_t* words, std::uint32_t* out,
                        std::size_t count) {
  // The new z depends on the previous step only through one XOR (the shifts act on x,
  // three steps old), so the steps overlap; w comes from the table, not from a chain
  // of multiplications.
  XorshiftWords local = s;
  for (std::size_t i = 0; i < count; ++i) {
    local = next_xorshift_words(local);
    out[i] = local.z ^ words[i];
  }
  s = local;
}

#if defined(__x86_64__)

bool avx2_available() {
  return __builtin_cpu_supports("avx2");
}

namespace {

// Rows r[q] hold step q of lanes 0 ... 7; afterwards r[i] holds steps 0 ... 7 of lane i.
__attribute__((target("avx2"))) inline void transpose(__m256i (&r)[8]) {
  const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]);
  const __m256i t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]);
  const __m256i t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]);
  const __m256i t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]);
  const __m256i t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
  const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
  const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
  const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
  const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
  r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// Where eight consecutive outputs of a lane go: as they are, or as exchange positions.
struct StoreOutputs {
  std::uint32_t* out;
  __attribute__((target("avx2"))) void operator()(std::size_t at, __m256i outputs) const {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), outputs);
  }
};

struct StoreNarrowPositions {
  __m256i factor;
  std::uint16_t* out;
  __attribute__((target("avx2"))) void operator()(std::size_t at, __m256i outputs) const {
    const __m256i positions = eight_positions(outputs, factor);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at),
                     _mm256_castsi256_si128(narrow(positions, positions)));
  }
};

struct StoreWidePositions {
  __m256i factor;
  std::uint32_t* out;
  __attribute__((target("avx2"))) void operator()(std::size_t at, __m256i outputs) const {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), eight_positions(outputs, factor));
  }
};

template <typename Store>
__attribute__((target("avx2"))) XorshiftWords fill_lanes(const XorshiftWords (&lane_start)[8],
                                                         std::size_t stretch,
                                                         const std::uint32_t* words,
                                                         const Store& store) {
  alignas(32) std::uint32_t start_words[3][8];
  for (std::size_t lane = 0; lane < 8; ++lane) {
    start_words[0][lane] = lane_start[lane].x;
    start_words[1][lane] = lane_start[lane].y;
    start_words[2][lane] = lane_start[lane].z;
  }
  __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(start_words[0]));
  __m256i y = _mm256_load_si256(reinterpret_cast<const __m256i*>(start_words[1]));
  __m256i z = _mm256_load_si256(reinterpret_cast<const __m256i*>(start_words[2]));
  for (std::size_t step = 0; step < stretch; step += 8) {
    __m256i rows[8];
    for (__m256i& row : rows) {
      __m256i t = _mm256_xor_si256(x, _mm256_slli_epi32(x, 16));
      t = _mm256_xor_si256(t, _mm256_srli_epi32(t, 5));
      t = _mm256_xor_si256(t, _mm256_slli_epi32(t, 1));
      t = _mm256_xor_si256(t, _mm256_xor_si256(y, z));
      x = y;
      y = z;
      z = t;
      row = t;
    }
    transpose(rows);
    for (std::size_t lane = 0; lane < 8; ++lane) {
      const std::size_t at = lane * stretch + step;
      const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + at));
      store(at, _mm256_xor_si256(rows[lane], w));
    }
  }
  return {static_cast<std::uint32_t>(_mm256_extract_epi32(x, 7)),
          static_cast<std::uint32_t>(_mm256_extract_epi32(y, 7)),
          static_cast<std::uint32_t>(_mm256_extract_epi32(z, 7))};
}

}  // namespace

__attribute__((target("avx2"))) XorshiftWords fill_outputs_avx2(
    const XorshiftWords (&lane_start)[8], std::size_t stretch, const std::uint32_t* words,
    std::uint32_t* out) {
  return fill_lanes(lane_start, stretch, words, StoreOutputs{out});
}

__attribute__((target("avx2"))) XorshiftWords fill_positions_avx2(
    const XorshiftWords (&lane_start)[8], std::size_t stretch, const std::uint32_t* words,
    std::uint32_t n, std::uint16_t* out) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  return fill_lanes(lane_start, stretch, words, StoreNarrowPositions{factor, out});
}

__attribute__((target("avx2"))) XorshiftWords fill_positions_avx2(
    const XorshiftWords (&lane_start)[8], std::size_t stretch, const std::uint32_t* words,
    std::uint32_t n, std::uint32_t* out) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  return fill_lanes(lane_start, stretch, words, StoreWidePositions{factor, out});
}

#else

bool avx2_available() {
  return false;
}

// Never chosen without AVX2; lane by lane, they give the same results.
XorshiftWords fill_outputs_avx2(const XorshiftWords (&lane_start)[8], std::size_t stretch,
                                const std::uint32_t* words, std::uint32_t* out) {
  XorshiftWords s;
  for (std::size_t lane = 0; lane < 8; ++lane) {
    s = lane_start[lane];
    fill_outputs_plain(s, words + lane * stretch, out + lane * stretch, stretch);
  }
  return s;
}

XorshiftWords fill_positions_avx2(const XorshiftWords (&lane_start)[8], std::size_t stretch,
                                  const std::uint32_t* words, std::uint32_t n, std::uint16_t* out) {
  std::uint32_t outputs[8 * 512];
  const XorshiftWords end = fill_outputs_avx2(lane_start, stretch, words, outputs);
  narrow_positions_plain(outputs, 8 * stretch, n, out);
  return end;
}

XorshiftWords fill_positions_avx2(const XorshiftWords (&lane_start)[8], std::size_t stretch,
                                  const std::uint32_t* words, std::uint32_t n, std::uint32_t* out) {
  std::uint32_t outputs[8 * 512];
  const XorshiftWords end = fill_outputs_avx2(lane_start, stretch, words, outputs);
  positions_plain(outputs, 8 * stretch, n, out);
  return end;
}

#endif

}  // namespace parasim::random
