#include "random/block_fill.hpp"

#include <algorithm>
#include <cassert>

#include "random/kernel_preconditions.hpp"
#include "random/output_kernels.hpp"
#if PARASIM_X86_KERNELS
#include "random/avx2_positions.hpp"
#include "random/avx512_block_fill.hpp"
#endif

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

namespace {

// The portable path takes the lanes one after another, each one step after another.
XorshiftWords fill_outputs_portable(std::span<const XorshiftWords> lane_start, std::size_t stretch,
                                    const std::uint32_t* words, std::uint32_t* out) {
  XorshiftWords s;
  for (std::size_t lane = 0; lane < lane_start.size(); ++lane) {
    s = lane_start[lane];
    fill_outputs_plain(s, words + lane * stretch, out + lane * stretch, stretch);
  }
  return s;
}

// Through a small buffer of outputs, a piece of a lane at a time.
template <typename Position>
XorshiftWords fill_positions_portable(std::span<const XorshiftWords> lane_start,
                                      std::size_t stretch, const std::uint32_t* words,
                                      std::uint32_t n, Position* out) {
  constexpr std::size_t piece = 512;
  std::uint32_t outputs[piece];
  XorshiftWords s;
  for (std::size_t lane = 0; lane < lane_start.size(); ++lane) {
    s = lane_start[lane];
    for (std::size_t done = 0; done < stretch; done += piece) {
      const std::size_t count = std::min(piece, stretch - done);
      const std::size_t at = lane * stretch + done;
      fill_outputs_plain(s, words + at, outputs, count);
      positions(VectorPath::portable, outputs, count, n, out + at);
    }
  }
  return s;
}

#if PARASIM_X86_KERNELS

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
__attribute__((target("avx2"))) XorshiftWords fill_lanes(const XorshiftWords* lane_start,
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

__attribute__((target("avx2"))) XorshiftWords fill_outputs_avx2(const XorshiftWords* lane_start,
                                                                std::size_t stretch,
                                                                const std::uint32_t* words,
                                                                std::uint32_t* out) {
  return fill_lanes(lane_start, stretch, words, StoreOutputs{out});
}

__attribute__((target("avx2"))) XorshiftWords fill_positions_avx2(const XorshiftWords* lane_start,
                                                                  std::size_t stretch,
                                                                  const std::uint32_t* words,
                                                                  std::uint32_t n,
                                                                  std::uint16_t* out) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  return fill_lanes(lane_start, stretch, words, StoreNarrowPositions{factor, out});
}

__attribute__((target("avx2"))) XorshiftWords fill_positions_avx2(const XorshiftWords* lane_start,
                                                                  std::size_t stretch,
                                                                  const std::uint32_t* words,
                                                                  std::uint32_t n,
                                                                  std::uint32_t* out) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  return fill_lanes(lane_start, stretch, words, StoreWidePositions{factor, out});
}

#endif

// What every path requires: a start for each lane, whole groups of steps in a lane, and an
// output that is no input.
template <typename Out>
bool fill_arguments_hold(VectorPath path, std::span<const XorshiftWords> lane_start,
                         std::size_t stretch, const std::uint32_t* words, const Out* out) {
  const std::size_t count = lane_start.size() * stretch;
  return processor_paths().has(path) && lane_start.size() == block_lanes(path) &&
         stretch % lane_group_steps == 0 && disjoint(out, count, words, count) &&
         disjoint(out, count, lane_start.data(), lane_start.size());
}

template <typename Position>
XorshiftWords fill_positions_on(VectorPath path, std::span<const XorshiftWords> lane_start,
                                std::size_t stretch, const std::uint32_t* words, std::uint32_t n,
                                Position* out) {
  assert(fill_arguments_hold(path, lane_start, stretch, words, out));
  assert(sizeof(Position) == 4 || n <= 65536);
  switch (path) {
    case VectorPath::avx512:
#if PARASIM_X86_KERNELS
      return avx512::fill_positions(lane_start.data(), stretch, words, n, out);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::avx2:
#if PARASIM_X86_KERNELS
      return fill_positions_avx2(lane_start.data(), stretch, words, n, out);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::portable:
      break;
  }
  return fill_positions_portable(lane_start, stretch, words, n, out);
}

}  // namespace

XorshiftWords fill_outputs(VectorPath path, std::span<const XorshiftWords> lane_start,
                           std::size_t stretch, const std::uint32_t* words, std::uint32_t* out) {
  assert(fill_arguments_hold(path, lane_start, stretch, words, out));
  switch (path) {
    case VectorPath::avx512:
#if PARASIM_X86_KERNELS
      return avx512::fill_outputs(lane_start.data(), stretch, words, out);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::avx2:
#if PARASIM_X86_KERNELS
      return fill_outputs_avx2(lane_start.data(), stretch, words, out);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::portable:
      break;
  }
  return fill_outputs_portable(lane_start, stretch, words, out);
}

XorshiftWords fill_positions(VectorPath path, std::span<const XorshiftWords> lane_start,
                             std::size_t stretch, const std::uint32_t* words, std::uint32_t n,
                             std::uint16_t* out) {
  return fill_positions_on(path, lane_start, stretch, words, n, out);
}

XorshiftWords fill_positions(VectorPath path, std::span<const XorshiftWords> lane_start,
                             std::size_t stretch, const std::uint32_t* words, std::uint32_t n,
                             std::uint32_t* out) {
  return fill_positions_on(path, lane_start, stretch, words, n, out);
}

}  // namespace parasim::random
