#include "random/output_kernels.hpp"

#include <cassert>

#include "random/avx2_positions.hpp"
#include "random/avx512_positions.hpp"
#include "random/kernel_preconditions.hpp"

namespace parasim::random {

namespace {

template <typename Position>
void positions_plain(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                     Position* positions) {
  for (std::size_t i = 0; i < count; ++i) {
    positions[i] = static_cast<Position>((static_cast<std::uint64_t>(n) * outputs[i]) >> 32);
  }
}

std::uint64_t event_bits_plain(const std::uint32_t* outputs, std::size_t count,
                               std::int64_t limit) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < count; ++i) {
    bits |= static_cast<std::uint64_t>(static_cast<std::int64_t>(outputs[i]) <= limit) << i;
  }
  return bits;
}

#if PARASIM_X86_KERNELS

__attribute__((target("avx2"))) void positions_avx2(const std::uint32_t* outputs, std::size_t count,
                                                    std::uint32_t n, std::uint32_t* positions) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(outputs + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(positions + i), eight_positions(k, factor));
  }
  positions_plain(outputs + i, count - i, n, positions + i);
}

__attribute__((target("avx2"))) void positions_avx2(const std::uint32_t* outputs, std::size_t count,
                                                    std::uint32_t n, std::uint16_t* positions) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(outputs + i));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(outputs + i + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(positions + i),
                        narrow(eight_positions(first, factor), eight_positions(second, factor)));
  }
  positions_plain(outputs + i, count - i, n, positions + i);
}

__attribute__((target("avx2"))) std::uint64_t event_bits_avx2(const std::uint32_t* outputs,
                                                              std::size_t count,
                                                              std::int64_t limit) {
  if (limit < 0 || limit >= 0xFFFFFFFF) {
    return event_bits_plain(outputs, count, limit);
  }
  // k <= limit exactly when max(k, limit) == limit, unsigned.
  const __m256i bound = _mm256_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(limit)));
  std::uint64_t bits = 0;
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(outputs + i));
    const __m256i passes = _mm256_cmpeq_epi32(_mm256_max_epu32(k, bound), bound);
    bits |= static_cast<std::uint64_t>(
                static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(passes))))
            << i;
  }
  if (i < count) {
    bits |= event_bits_plain(outputs + i, count - i, limit) << i;
  }
  return bits;
}

PARASIM_AVX512_TARGET void positions_avx512(const std::uint32_t* outputs, std::size_t count,
                                            std::uint32_t n, std::uint32_t* positions) {
  const __m512i factor = _mm512_set1_epi64(static_cast<long long>(n));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    _mm512_storeu_si512(positions + i, sixteen_positions(_mm512_loadu_si512(outputs + i), factor));
  }
  positions_plain(outputs + i, count - i, n, positions + i);
}

PARASIM_AVX512_TARGET void positions_avx512(const std::uint32_t* outputs, std::size_t count,
                                            std::uint32_t n, std::uint16_t* positions) {
  const __m512i factor = _mm512_set1_epi64(static_cast<long long>(n));
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    _mm512_storeu_si512(positions + i,
                        thirty_two_narrow_positions(_mm512_loadu_si512(outputs + i),
                                                    _mm512_loadu_si512(outputs + i + 16), factor));
  }
  positions_plain(outputs + i, count - i, n, positions + i);
}

PARASIM_AVX512_TARGET std::uint64_t event_bits_avx512(const std::uint32_t* outputs,
                                                      std::size_t count, std::int64_t limit) {
  if (limit < 0 || limit >= 0xFFFFFFFF) {
    return event_bits_plain(outputs, count, limit);
  }
  const __m512i bound = _mm512_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(limit)));
  std::uint64_t bits = 0;
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    bits |=
        static_cast<std::uint64_t>(_mm512_cmple_epu32_mask(_mm512_loadu_si512(outputs + i), bound))
        << i;
  }
  if (i < count) {
    // The last outputs, fewer than sixteen, under a mask that loads nothing past them.
    const auto rest = static_cast<__mmask16>((1u << (count - i)) - 1);
    bits |= static_cast<std::uint64_t>(_mm512_mask_cmple_epu32_mask(
                rest, _mm512_maskz_loadu_epi32(rest, outputs + i), bound))
            << i;
  }
  return bits;
}

#endif

template <typename Position>
void dispatch_positions(VectorPath path, const std::uint32_t* outputs, std::size_t count,
                        std::uint32_t n, Position* positions) {
  assert(processor_paths().has(path) && disjoint(outputs, count, positions, count));
  assert(sizeof(Position) == 4 || n <= 65536);
  switch (path) {
    case VectorPath::avx512:
#if PARASIM_X86_KERNELS
      return positions_avx512(outputs, count, n, positions);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::avx2:
#if PARASIM_X86_KERNELS
      return positions_avx2(outputs, count, n, positions);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::portable:
      break;
  }
  positions_plain(outputs, count, n, positions);
}

}  // namespace

void positions(VectorPath path, const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
               std::uint16_t* positions) {
  dispatch_positions(path, outputs, count, n, positions);
}

void positions(VectorPath path, const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
               std::uint32_t* positions) {
  dispatch_positions(path, outputs, count, n, positions);
}

std::uint64_t event_bits(VectorPath path, const std::uint32_t* outputs, std::size_t count,
                         std::int64_t limit) {
  assert(processor_paths().has(path) && count <= 64);
  switch (path) {
    case VectorPath::avx512:
#if PARASIM_X86_KERNELS
      return event_bits_avx512(outputs, count, limit);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::avx2:
#if PARASIM_X86_KERNELS
      return event_bits_avx2(outputs, count, limit);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::portable:
      break;
  }
  return event_bits_plain(outputs, count, limit);
}

}  // namespace parasim::random
