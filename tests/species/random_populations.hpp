#pragma once

#include <cstddef>
#include <random>

#include "genome_table.hpp"

namespace parasim::species::testing {

enum class PopulationShape {
  random,        // every genome drawn afresh
  clumped,       // a few centres, members within a few mutations, some stragglers
  few_distinct,  // copies of a handful of genomes
  chain,         // genomes on a line (the first m loci set), where pivot bounds are tight
};

inline constexpr PopulationShape all_population_shapes[] = {
    PopulationShape::random, PopulationShape::clumped, PopulationShape::few_distinct,
    PopulationShape::chain};

inline std::size_t draw_below(std::mt19937_64& rng, std::size_t bound) {
  return std::uniform_int_distribution<std::size_t>(0, bound - 1)(rng);
}

// Genomes of the given shape, their order shuffled by the drawing itself.
inline GenomeTable random_population(std::size_t loci, std::size_t count, PopulationShape shape,
                                     std::mt19937_64& rng) {
  GenomeTable centres(loci);
  const std::size_t centre_count = 1 + draw_below(rng, 5);
  for (std::size_t c = 0; c < centre_count; ++c) {
    centres.add_random(rng);
  }
  const std::size_t max_mutations = shape == PopulationShape::clumped ? 1 + loci / 20 : 0;
  GenomeTable genomes(loci);
  for (std::size_t i = 0; i < count; ++i) {
    if (shape == PopulationShape::chain) {
      const std::size_t genome = genomes.add();
      for (std::size_t l = draw_below(rng, loci + 1); l > 0; --l) {
        genomes.flip(genome, l - 1);
      }
      continue;
    }
    if (shape == PopulationShape::random || draw_below(rng, 20) == 0) {
      genomes.add_random(rng);
      continue;
    }
    const std::size_t centre = draw_below(rng, centre_count);
    const std::size_t genome = genomes.add();
    for (std::size_t l = 0; l < loci; ++l) {
      if (centres.locus(centre, l)) {
        genomes.flip(genome, l);
      }
    }
    for (std::size_t m = draw_below(rng, max_mutations + 1); m > 0 && loci > 0; --m) {
      genomes.flip(genome, draw_below(rng, loci));
    }
  }
  return genomes;
}

}  // namespace parasim::species::testing
