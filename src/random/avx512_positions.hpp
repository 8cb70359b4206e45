#pragma once

// AVX-512 helpers shared by the routines that turn outputs into exchange positions. Only
// for functions compiled for the avx512 path (PARASIM_AVX512_TARGET), in builds with the
// x86-64 kernels.
#include "random/vector_paths.hpp"

#if PARASIM_X86_KERNELS

#include "random/x86_intrinsics.hpp"

namespace parasim::random {

// INT(n x u) = (n x k) >> 32 for the sixteen outputs k in `outputs`, with factor = n in
// every 64-bit lane: the even outputs' products shifted down, the odd ones' blended in.
PARASIM_AVX512_TARGET inline __m512i sixteen_positions(__m512i outputs, __m512i factor) {
  const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(outputs, factor), 32);
  const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(outputs, 32), factor);
  return _mm512_mask_blend_epi32(0xAAAA, even, odd);
}

}  // namespace parasim::random

#endif
