#pragma once

// AVX-512 helpers shared by the routines that turn outputs into exchange positions. Only
// for functions compiled for the avx512 path (PARASIM_AVX512_TARGET), in builds with the
// x86-64 kernels.
#include "random/vector_paths.hpp"

#if PARASIM_X86_KERNELS

#include <cstdint>

#include "random/x86_intrinsics.hpp"

namespace parasim::random {

// INT(n x u) = (n x k) >> 32 for the sixteen outputs k in `outputs`, with factor = n in
// every 64-bit lane: the even outputs' products shifted down, the odd ones' blended in.
PARASIM_AVX512_TARGET inline __m512i sixteen_positions(__m512i outputs, __m512i factor) {
  const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(outputs, factor), 32);
  const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(outputs, 32), factor);
  return _mm512_mask_blend_epi32(0xAAAA, even, odd);
}

// Thirty-two positions below 65536, of the outputs in `first` and then `second`, as 16-bit
// words in order. A product of n <= 65536 and an output is below 2^48, so its position is
// word 2 of the product's 64-bit place: one permutation of words takes them from the
// products of the even and of the odd outputs of a register, and a blend joins the two
// registers' halves. The odd outputs are moved down by a shuffle of 32-bit places rather than
// by a shift, and the words picked by permutation rather than shifted and blended: the
// multiplications and shifts of 512-bit registers share one port.
PARASIM_AVX512_TARGET inline __m512i thirty_two_narrow_positions(__m512i first, __m512i second,
                                                                 __m512i factor) {
  // Word i of each half of the result: word 2 of the (i / 2)-th product of the even outputs
  // (i even) or of the odd outputs (i odd), the odd products' words counted from 32.
  alignas(64) static constexpr std::uint16_t pick_words[32] = {
      2, 34, 6, 38, 10, 42, 14, 46, 18, 50, 22, 54, 26, 58, 30, 62,
      2, 34, 6, 38, 10, 42, 14, 46, 18, 50, 22, 54, 26, 58, 30, 62};
  const __m512i picks = _mm512_load_si512(pick_words);
  const auto positions = [factor, picks](__m512i outputs) PARASIM_AVX512_TARGET {
    const __m512i even = _mm512_mul_epu32(outputs, factor);
    const __m512i odd = _mm512_mul_epu32(_mm512_shuffle_epi32(outputs, _MM_PERM_DDBB), factor);
    return _mm512_permutex2var_epi16(even, picks, odd);
  };
  return _mm512_mask_blend_epi16(0xFFFF0000u, positions(first), positions(second));
}

}  // namespace parasim::random

#endif
