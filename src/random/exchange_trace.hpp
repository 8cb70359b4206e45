#pragma once

#include <cstddef>
#include <cstdint>

#include "random/vector_paths.hpp"

namespace parasim::random {

// A permutation made by exchanges, given by the exchanges' positions (positions[2t] and
// positions[2t + 1] for exchange t), can be followed for a few entries without being
// carried out: going back from the last exchange to the first tells where the entry
// that ends at a position started; going forward tells where the entry that starts at a
// position ends. An exchange rarely holds a followed position, so a group of exchanges
// is compared with every followed position at once, and only the rare group that holds
// one is followed exchange by exchange.
enum class Direction { back, forward };

// Moves each of at[0 .. count) (count <= 16) through all exchanges in the direction
// given: on the avx512 path sixteen or eight exchanges at a time, on the avx2 path eight
// or four, on the portable path one by one. Positions are 16-bit for permutations of up to
// 65,536 entries, 32-bit above; every followed position is one of the permutation's, so it
// fits the positions' width.
template <typename Position>
void follow_exchanges(const Position* positions, std::size_t exchanges, Direction direction,
                      std::uint32_t* at, std::size_t count, VectorPath path);

}  // namespace parasim::random
