#include "random/output_kernels.hpp"

#include "random/avx2_positions.hpp"

namespace parasim::random {

void positions_plain(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                     std::uint32_t* positions) {
  for (std::size_t i = 0; i < count; ++i) {
    positions[i] = static_cast<std::uint32_t>((static_cast<std::uint64_t>(n) * outputs[i]) >> 32);
  }
}

void narrow_positions_plain(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                            std::uint16_t* positions) {
  for (std::size_t i = 0; i < count; ++i) {
    positions[i] = static_cast<std::uint16_t>((static_cast<std::uint64_t>(n) * outputs[i]) >> 32);
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

#if defined(__x86_64__)

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

__attribute__((target("avx2"))) void narrow_positions_avx2(const std::uint32_t* outputs,
                                                           std::size_t count, std::uint32_t n,
                                                           std::uint16_t* positions) {
  const __m256i factor = _mm256_set1_epi64x(static_cast<long long>(n));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(outputs + i));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(outputs + i + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(positions + i),
                        narrow(eight_positions(first, factor), eight_positions(second, factor)));
  }
  narrow_positions_plain(outputs + i, count - i, n, positions + i);
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

#else

// Never chosen without AVX2.
void positions_avx2(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                    std::uint32_t* positions) {
  positions_plain(outputs, count, n, positions);
}

void narrow_positions_avx2(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                           std::uint16_t* positions) {
  narrow_positions_plain(outputs, count, n, positions);
}

std::uint64_t event_bits_avx2(const std::uint32_t* outputs, std::size_t count, std::int64_t limit) {
  return event_bits_plain(outputs, count, limit);
}

#endif

}  // namespace parasim::random
