// The genetics of one population written plainly: the distances of every pair of parasites
// summed by species, and the groups that cannot interbreed as connected components found by a
// plain search. The oracle of the fast routines in species/species_divergence and
// species/mating_groups.
#pragma once

#include <cstdint>
#include <vector>

#include "reference/one_based.hpp"
#include "reference/reference_species.hpp"

namespace parasim::reference {

// The pairs of parasites of species a and b (a < b: every parasite of a with every one of b;
// a = b: every unordered pair of two parasites of a) and the sum, least and most of their
// genetic distances; least and most 0 when there is no pair.
struct PairDistances {
  std::int32_t species_a = 0;
  std::int32_t species_b = 0;
  std::int64_t pairs = 0;
  std::int64_t sum = 0;
  std::int64_t least = 0;
  std::int64_t most = 0;
  friend bool operator==(const PairDistances&, const PairDistances&) = default;
};

// One entry for every a <= b of the species carried by rows 1..population_size, in increasing
// order of a, then b.
std::vector<PairDistances> distances_by_species(std::int32_t population_size,
                                                const OneBased<std::int32_t>& species_of,
                                                const RowDistance& distance);

// Gives every row the number of its connected component of "distance at most threshold":
// component 1 holds row 1 and every row reached from it step by step, component 2 the lowest
// row outside it, and so on. Returns the number of components.
std::int32_t connected_components(std::int32_t population_size, const RowDistance& distance,
                                  std::int32_t threshold, OneBased<std::int32_t>& component_of);

// How the rows of species s fall into the components: rows, components holding any, the most in
// one, and the components holding them that hold rows of another species too.
struct SpeciesComponents {
  std::int32_t species = 0;
  std::int64_t rows = 0;
  std::int64_t components = 0;
  std::int64_t largest = 0;
  std::int64_t shared = 0;
  friend bool operator==(const SpeciesComponents&, const SpeciesComponents&) = default;
};

// One entry per species carried, in increasing order.
std::vector<SpeciesComponents> components_by_species(std::int32_t population_size,
                                                     const OneBased<std::int32_t>& species_of,
                                                     const OneBased<std::int32_t>& component_of,
                                                     std::int32_t component_count);

}  // namespace parasim::reference
