#pragma once

#include <cstddef>
#include <cstdint>

#include "random/vector_paths.hpp"

namespace parasim::random {

// What consumers make of a run of generator outputs, the same on every path. The results
// overlap no output.

// positions[i] = INT(n x u_i) for u_i = outputs[i] / 2^32: (n x outputs[i]) >> 32, exact;
// in 16 bits for n <= 65536, otherwise in 32.
void positions(VectorPath path, const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
               std::uint16_t* positions);
void positions(VectorPath path, const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
               std::uint32_t* positions);

// Bit i (i < count <= 64) is set when outputs[i] <= limit, the event test of an
// EventThreshold with that limit (limit < 0: never; limit >= 2^32 - 1: always).
std::uint64_t event_bits(VectorPath path, const std::uint32_t* outputs, std::size_t count,
                         std::int64_t limit);

}  // namespace parasim::random
