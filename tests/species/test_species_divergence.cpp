#include "species/species_divergence.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "genetics_cases.hpp"
#include "reference/reference_genetics.hpp"

namespace parasim::species {
namespace {

using reference::PairDistances;

std::vector<PairDistances> as_reference(const std::vector<DivergenceRow>& rows) {
  std::vector<PairDistances> out;
  for (const DivergenceRow& row : rows) {
    out.push_back({row.species_a, row.species_b, row.pairs, row.distance_sum, row.min_distance,
                   row.max_distance});
  }
  return out;
}

// Every pair of species present, and every pair of parasites in it, against the plain all-pairs
// loop counted locus by locus: one divergence object measures every case in turn, so buffers
// left from a larger population must not leak into a smaller one.
TEST(SpeciesDivergence, MatchesAllPairsOfParasitesCountedLocusByLocus) {
  std::mt19937_64 rng(21);
  SpeciesDivergence divergence;
  std::size_t singletons = 0;
  for (const testing::GeneticsCase& c : testing::genetics_cases(rng)) {
    const auto n = static_cast<std::int32_t>(c.species_of.size());
    const std::vector<PairDistances> expected = reference::distances_by_species(
        n, testing::one_based(c.species_of), testing::locus_by_locus(c.genomes));
    const auto& rows = divergence.measure(c.genomes.view(), c.species_of);
    ASSERT_EQ(as_reference(rows), expected)
        << c.genomes.count() << " parasites of " << c.genomes.loci() << " loci";
    for (const DivergenceRow& row : rows) {
      singletons += row.species_a == row.species_b && row.pairs == 0;
    }
  }
  EXPECT_GT(singletons, 0u);  // species of one parasite were among the cases
}

}  // namespace
}  // namespace parasim::species
