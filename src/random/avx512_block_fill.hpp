#pragma once

// The block fills of the avx512 path: sixteen lanes, each a stretch of the block, in the
// 32-bit places of 512-bit registers. Called by block_fill's dispatch alone, whose
// preconditions they share.
#include <cstddef>
#include <cstdint>

#include "random/vector_paths.hpp"
#include "random/xorshift_jump.hpp"

#if PARASIM_X86_KERNELS

namespace parasim::random::avx512 {

inline constexpr std::size_t lanes = 16;

XorshiftWords fill_outputs(const XorshiftWords* lane_start, std::size_t stretch,
                           const std::uint32_t* words, std::uint32_t* out);
XorshiftWords fill_positions(const XorshiftWords* lane_start, std::size_t stretch,
                             const std::uint32_t* words, std::uint32_t n, std::uint16_t* out);
XorshiftWords fill_positions(const XorshiftWords* lane_start, std::size_t stretch,
                             const std::uint32_t* words, std::uint32_t n, std::uint32_t* out);

}  // namespace parasim::random::avx512

#endif
