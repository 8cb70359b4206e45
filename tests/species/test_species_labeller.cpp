#include "species/species.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "genome_table.hpp"
#include "random_populations.hpp"
#include "reference/adapters.hpp"

namespace parasim::species {
namespace {

using Labels = std::vector<std::int32_t>;

TEST(LinkageThreshold, GoesThroughSinglePrecision) {
  for (const std::int32_t exact : {-5, 0, 1, 7, 16777215, 16777216}) {
    EXPECT_EQ(linkage_threshold(exact), exact);
  }
  EXPECT_EQ(linkage_threshold(16777217), 16777216);
  EXPECT_EQ(linkage_threshold(16777219), 16777220);
  EXPECT_EQ(linkage_threshold(std::numeric_limits<std::int32_t>::max()),
            std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(linkage_threshold(std::numeric_limits<std::int32_t>::min()),
            std::numeric_limits<std::int32_t>::min());
}

TEST(SpeciesLabeller, IdenticalGenomesWithMixedLabelsTakeTheLowest) {
  testing::GenomeTable genomes(20);
  Labels species_id;
  for (const std::int32_t label : {5, 3, 2, 3, 5, 2, 2}) {
    genomes.add_ones({4, 9});
    species_id.push_back(label);
  }
  SpeciesLabeller labeller;
  labeller.label(genomes.view(), species_id, 3);
  EXPECT_EQ(labeller.cluster_count(), 1);
  EXPECT_EQ(species_id, Labels(7, 2));
}

TEST(SpeciesLabeller, EmptyPopulationChangesNothing) {
  SpeciesLabeller labeller;
  testing::GenomeTable genomes(10);
  labeller.label(genomes.view(), {}, 2);
  EXPECT_EQ(labeller.cluster_count(), 0);
  EXPECT_TRUE(labeller.cluster_of().empty());
}

// The next generation, roughly: rows dropped, copied and mutated, labels inherited.
testing::GenomeTable next_generation(const testing::GenomeTable& genomes, Labels& species_id,
                                     std::mt19937_64& rng) {
  testing::GenomeTable next(genomes.loci());
  Labels next_labels;
  const std::size_t count = 1 + testing::draw_below(rng, 2 * genomes.count() + 1);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t parent = testing::draw_below(rng, genomes.count());
    const std::size_t child = next.add();
    for (std::size_t l = 0; l < genomes.loci(); ++l) {
      if (genomes.locus(parent, l) != (testing::draw_below(rng, 50) == 0)) {
        next.flip(child, l);
      }
    }
    next_labels.push_back(species_id[parent]);
  }
  species_id = next_labels;
  return next;
}

TEST(SpeciesLabeller, MatchesTheReferenceRoutineOverGenerations) {
  std::mt19937_64 rng(123);
  SpeciesLabeller labeller;  // one for the whole run, as the model keeps it
  for (const std::size_t loci : {1, 64, 65, 130}) {
    for (const auto shape : testing::all_population_shapes) {
      for (const std::int32_t mate_threshold :
           {-1, 0, 1, static_cast<std::int32_t>(loci / 10 + 1), static_cast<std::int32_t>(loci)}) {
        testing::GenomeTable genomes = testing::random_population(loci, 60, shape, rng);
        Labels species_id(genomes.count(), 1);
        for (int generation = 0; generation < 6; ++generation) {
          Labels expected_labels = species_id;
          const reference::Clusters expected =
              reference::species(genomes.view(), mate_threshold, expected_labels);

          labeller.label(genomes.view(), species_id, mate_threshold);
          ASSERT_EQ(labeller.cluster_count(), expected.count);
          ASSERT_EQ(Labels(labeller.cluster_of().begin(), labeller.cluster_of().end()),
                    expected.cluster_of);
          ASSERT_EQ(species_id, expected_labels)
              << loci << " loci, threshold " << mate_threshold << ", generation " << generation;
          genomes = next_generation(genomes, species_id, rng);
        }
      }
    }
  }
}

TEST(SpeciesLabeller, LargeOldLabelsNeedNoTurnForEveryValueBelowThem) {
  std::mt19937_64 rng(8);
  testing::GenomeTable genomes =
      testing::random_population(64, 40, testing::PopulationShape::few_distinct, rng);
  Labels species_id(genomes.count(), 1000000);
  species_id[3] = 7;
  Labels expected_labels = species_id;
  reference::species(genomes.view(), 3, expected_labels);
  SpeciesLabeller labeller;
  labeller.label(genomes.view(), species_id, 3);
  EXPECT_EQ(species_id, expected_labels);
}

}  // namespace
}  // namespace parasim::species
