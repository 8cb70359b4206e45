#pragma once

// AVX2 helpers shared by the routines that turn outputs into exchange positions. Only
// for functions compiled for AVX2 (target attribute), in builds with the x86-64 kernels.
#include "random/vector_paths.hpp"

#if PARASIM_X86_KERNELS

#include "random/x86_intrinsics.hpp"

#include <cstdint>

namespace parasim::random {

// INT(n x u) = (n x k) >> 32 for the eight outputs k in `outputs`, with factor = n in
// every 64-bit lane.
__attribute__((target("avx2"))) inline __m256i eight_positions(__m256i outputs, __m256i factor) {
  // The even outputs' products have their high halves in the odd 32-bit places, the
  // odd outputs' products likewise: shift the first down, blend in the second.
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(outputs, factor), 32);
  const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(outputs, 32), factor);
  return _mm256_blend_epi32(even, odd, 0xAA);
}

// Sixteen positions below 65536, in two registers of eight, as 16-bit words in order. The
// pack works within 128-bit halves, and the permutation puts the quarters back in order.
__attribute__((target("avx2"))) inline __m256i narrow(__m256i first, __m256i second) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xD8);
}

}  // namespace parasim::random

#endif
