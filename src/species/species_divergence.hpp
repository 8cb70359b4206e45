#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/packed_genomes.hpp"

namespace parasim::species {

// The genetic distances between the parasites of two species (or within one): over every
// unordered pair of distinct parasites of one species when species_a == species_b (n(n - 1)/2
// pairs), over every parasite of species_a paired with every parasite of species_b otherwise
// (n_a x n_b pairs). A species of one parasite has no pair within it: pairs 0, and its
// distances have no value.
struct DivergenceRow {
  std::int32_t species_a = 0;
  std::int32_t species_b = 0;
  std::int64_t pairs = 0;
  std::int64_t distance_sum = 0;  // in loci, over all pairs: exact
  std::int64_t min_distance = 0;  // meaningful when pairs > 0
  std::int64_t max_distance = 0;  // meaningful when pairs > 0

  double mean_distance() const {
    return static_cast<double>(distance_sum) / static_cast<double>(pairs);
  }
};

// Measures the genetic divergence within and between the species of one population, exactly:
// every pair of parasites counts. Identical genomes of one species are measured once and
// weighted by their number, which makes the work grow with the distinct genomes of each species
// rather than with the parasites. Keeps its buffers between calls.
class SpeciesDivergence {
 public:
  // One row for every pair of species present, species_a <= species_b, ordered by species_a,
  // then species_b. species_of[i] is the species (any whole number) of parasite i.
  // Precondition: species_of.size() == genomes.count.
  const std::vector<DivergenceRow>& measure(const PackedGenomes& genomes,
                                            std::span<const std::int32_t> species_of);

 private:
  // A genome carried by `copies` parasites of one species.
  struct Variant {
    std::int32_t species;
    std::int64_t copies;
  };

  void collect_variants(const PackedGenomes& genomes, std::span<const std::int32_t> species_of);
  DivergenceRow within(std::size_t begin, std::size_t end) const;
  DivergenceRow between(std::size_t a_begin, std::size_t a_end, std::size_t b_begin,
                        std::size_t b_end) const;
  const std::uint64_t* variant_genome(std::size_t v) const {
    return variant_words_.data() + v * words_;
  }

  std::size_t words_ = 0;
  std::vector<std::uint32_t> order_;
  std::vector<Variant> variants_;  // ordered by species
  std::vector<std::uint64_t> variant_words_;
  std::vector<std::size_t>
      species_begin_;  // variants of the k-th species present: [begin[k], begin[k + 1])
  std::vector<DivergenceRow> rows_;
};

}  // namespace parasim::species
