#pragma once

#include <cstddef>
#include <cstdint>

#include "random/xorshift_jump.hpp"

namespace parasim::random {

// Fills out[0 .. count) with the generator's next outputs: each the new z of a step of
// the xorshift words, XORed with that step's multiplicative word, taken from
// words[0 .. count). Advances s by count steps. One step after another.
void fill_outputs_plain(XorshiftWords& s, const std::uint32_t* words, std::uint32_t* out,
                        std::size_t count);

// The same with eight AVX2 lanes: lane i produces out[i * stretch .. (i + 1) * stretch)
// from lane_start[i], the words i * stretch steps after the block's start (stretch a
// multiple of 8). Returns the words after the last lane's last step. Only where
// avx2_available().
XorshiftWords fill_outputs_avx2(const XorshiftWords (&lane_start)[8], std::size_t stretch,
                                const std::uint32_t* words, std::uint32_t* out);

// The same, but what is stored is the exchange position INT(n x u) of each output, in
// 16 bits (n <= 65536) or 32.
XorshiftWords fill_positions_avx2(const XorshiftWords (&lane_start)[8], std::size_t stretch,
                                  const std::uint32_t* words, std::uint32_t n, std::uint16_t* out);
XorshiftWords fill_positions_avx2(const XorshiftWords (&lane_start)[8], std::size_t stretch,
                                  const std::uint32_t* words, std::uint32_t n, std::uint32_t* out);

// Whether this processor runs the AVX2 routines.
bool avx2_available();

}  // namespace parasim::random
