#pragma once

#include <cstddef>
#include <cstdint>

namespace parasim::random {

// What consumers make of a run of generator outputs, each routine in a plain form and
// an AVX2 form that gives the same result (the AVX2 form only where avx2_available()).

// positions[i] = INT(n x u_i) for u_i = outputs[i] / 2^32: (n x outputs[i]) >> 32, exact.
void positions_plain(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                     std::uint32_t* positions);
void positions_avx2(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                    std::uint32_t* positions);

// The same for n <= 65536, in 16 bits.
void narrow_positions_plain(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                            std::uint16_t* positions);
void narrow_positions_avx2(const std::uint32_t* outputs, std::size_t count, std::uint32_t n,
                           std::uint16_t* positions);

// Bit i (i < count <= 64) is set when outputs[i] <= limit, the event test of an
// EventThreshold with that limit (limit < 0: never; limit >= 2^32 - 1: always).
std::uint64_t event_bits_plain(const std::uint32_t* outputs, std::size_t count, std::int64_t limit);
std::uint64_t event_bits_avx2(const std::uint32_t* outputs, std::size_t count, std::int64_t limit);

}  // namespace parasim::random
