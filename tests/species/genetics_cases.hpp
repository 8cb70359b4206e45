// Random populations with species, held beside the plain routines of reference/reference_genetics
// for the tests of the divergence and the mating groups.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "random_populations.hpp"
#include "reference/one_based.hpp"
#include "reference/reference_species.hpp"

namespace parasim::species::testing {

struct GeneticsCase {
  GenomeTable genomes;
  std::vector<std::int32_t> species_of;
};

// Genomes of every shape and of sizes across one and two words of heads, each parasite of one of
// a few species: numbered at random, or following the genomes (parasites drawn from one centre
// mostly share a species, as a labelling leaves them), some species numbers large.
inline std::vector<GeneticsCase> genetics_cases(std::mt19937_64& rng) {
  std::vector<GeneticsCase> cases;
  for (const std::size_t loci : {0, 5, 64, 100, 130, 200}) {
    for (const std::size_t count : {0, 1, 2, 7, 40, 160}) {
      for (const PopulationShape shape : all_population_shapes) {
        GeneticsCase c{random_population(loci, count, shape, rng), {}};
        const std::int32_t species_count = 1 + static_cast<std::int32_t>(draw_below(rng, 5));
        const bool by_genome = draw_below(rng, 2) == 0;
        for (std::size_t i = 0; i < count; ++i) {
          const std::int32_t drawn =
              by_genome && loci > 0 ? 1 + static_cast<std::int32_t>(c.genomes.locus(i, 0)) * 2 +
                                          static_cast<std::int32_t>(c.genomes.locus(i, loci - 1))
                                    : 1 + static_cast<std::int32_t>(draw_below(
                                              rng, static_cast<std::size_t>(species_count)));
          c.species_of.push_back(drawn == 3 ? 1000 : drawn);
        }
        cases.push_back(std::move(c));
      }
    }
  }
  return cases;
}

// The reference's view of a case: species by row from 1, distances counted locus by locus.
inline reference::OneBased<std::int32_t> one_based(const std::vector<std::int32_t>& values) {
  reference::OneBased<std::int32_t> out(static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    out(static_cast<int>(i) + 1) = values[i];
  }
  return out;
}

inline reference::RowDistance locus_by_locus(const GenomeTable& genomes) {
  return [&genomes](std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(genomes.locus_by_locus_distance(
        static_cast<std::size_t>(a - 1), static_cast<std::size_t>(b - 1)));
  };
}

}  // namespace parasim::species::testing
