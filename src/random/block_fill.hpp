#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "random/vector_paths.hpp"
#include "random/xorshift_jump.hpp"

namespace parasim::random {

// Fills out[0 .. count) with the generator's next outputs: each the new z of a step of
// the xorshift words, XORed with that step's multiplicative word, taken from
// words[0 .. count). Advances s by count steps. One step after another.
void fill_outputs_plain(XorshiftWords& s, const std::uint32_t* words, std::uint32_t* out,
                        std::size_t count);

// How many stretches of a block each path makes side by side, one per lane.
constexpr std::size_t block_lanes(VectorPath path) {
  switch (path) {
    case VectorPath::portable:
      return 1;
    case VectorPath::avx2:
      return 8;
    case VectorPath::avx512:
      return 16;
  }
  return 1;
}

// A lane's stretch is made in whole groups of this many steps, on every path.
inline constexpr std::size_t lane_group_steps = 16;

// The most lanes of any path.
inline constexpr std::size_t most_block_lanes = [] {
  std::size_t most = 1;
  for (const VectorPath path : all_vector_paths) {
    most = block_lanes(path) > most ? block_lanes(path) : most;
  }
  return most;
}();

// Fills out[0 .. lanes x stretch) with the generator's outputs on the given path: lane i
// makes out[i x stretch .. (i + 1) x stretch) from lane_start[i], the words i x stretch
// steps after the block's start, with the multiplicative words words[0 .. lanes x stretch).
// lane_start holds block_lanes(path) words; stretch is a multiple of lane_group_steps;
// out overlaps
// neither words nor lane_start. Returns the words after the last lane's last step.
XorshiftWords fill_outputs(VectorPath path, std::span<const XorshiftWords> lane_start,
                           std::size_t stretch, const std::uint32_t* words, std::uint32_t* out);

// The same, but what is stored is the exchange position INT(n x u) of each output, in
// 16 bits (n <= 65536) or 32.
XorshiftWords fill_positions(VectorPath path, std::span<const XorshiftWords> lane_start,
                             std::size_t stretch, const std::uint32_t* words, std::uint32_t n,
                             std::uint16_t* out);
XorshiftWords fill_positions(VectorPath path, std::span<const XorshiftWords> lane_start,
                             std::size_t stretch, const std::uint32_t* words, std::uint32_t n,
                             std::uint32_t* out);

}  // namespace parasim::random
