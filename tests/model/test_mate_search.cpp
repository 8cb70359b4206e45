#include "model/mate_search.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/population_builder.hpp"
#include "random/seeding.hpp"
#include "reference/adapters.hpp"

namespace parasim::model {
namespace {

using testing::loci_of;
using testing::make_population;
using testing::Parasite;

random::Generator seeded(std::int32_t ticks) {
  random::Generator generator;
  random::init_random_seed(generator, ticks);
  return generator;
}

random::Generator advanced(random::Generator generator, int draws) {
  for (int i = 0; i < draws; ++i) {
    generator.next_output();
  }
  return generator;
}

species::GenomeHeads heads_of(const Population& population) {
  species::GenomeHeads heads;
  take_heads(population, heads);
  return heads;
}

MatingRules rules(std::int32_t mate_threshold, double mutation_rate) {
  return {mate_threshold, random::EventThreshold(mutation_rate)};
}

TEST(MateSearch, ThresholdIsInclusiveAndTheFirstCompatibleCandidateIsTaken) {
  // Parent 0; candidate 1 differs at 2 loci, candidate 2 at 3, candidate 3 is identical.
  const Population population =
      make_population({{"000000", 1, 1}, {"110000", 2, 2}, {"111000", 3, 3}, {"000000", 4, 4}}, 6);
  Population pool(6);
  pool.resize(1);
  random::Generator generator = seeded(1);

  const std::vector<std::int32_t> order = {2, 1, 3, 0};
  EXPECT_TRUE(
      offspring(population, heads_of(population), order, 0, 4, rules(2, 0.0), generator, pool, 0));
  EXPECT_EQ(pool.species_id(0), 2);  // the mate at distance 2, not the identical one after it
  EXPECT_EQ(pool.host_id(0), 1);     // the parent's host

  EXPECT_TRUE(
      offspring(population, heads_of(population), order, 0, 4, rules(3, 0.0), generator, pool, 0));
  EXPECT_EQ(pool.species_id(0), 3);

  const random::Generator before = generator;
  EXPECT_FALSE(
      offspring(population, heads_of(population), order, 0, 2, rules(1, 0.0), generator, pool, 0));
  EXPECT_FALSE(
      offspring(population, heads_of(population), order, 0, 0, rules(9, 0.0), generator, pool, 0));
  EXPECT_EQ(generator.state(), before.state());  // a failed search draws nothing
  EXPECT_EQ(pool.species_id(0), 3);              // and leaves the child alone
}

TEST(MateSearch, TheMateIsTheFirstCandidateWithinTheThresholdOnEitherSideOfTheHead) {
  // Candidates differ from the parent at a few loci near the ends of the first words, so
  // that the count crosses the threshold before, at or after the 128th locus.
  std::mt19937_64 rng(21);
  const int edges[] = {0, 63, 64, 126, 127, 128, 129, 191, 192};
  for (const int genome_size : {100, 128, 129, 200, 300}) {
    for (int trial = 0; trial < 20; ++trial) {
      std::string parent;
      for (int l = 0; l < genome_size; ++l) {
        parent += (rng() & 1) ? '1' : '0';
      }
      std::vector<Parasite> parasites = {{parent, 1, 1}};
      std::vector<std::int32_t> distances = {0};
      for (std::int32_t c = 2; c <= 9; ++c) {
        std::string candidate = parent;
        for (auto flips = rng() % 5; flips > 0; --flips) {
          const int locus = edges[rng() % std::size(edges)] % genome_size;
          candidate[static_cast<std::size_t>(locus)] ^= 1;  // '0' <-> '1'
        }
        std::int32_t distance = 0;
        for (int l = 0; l < genome_size; ++l) {
          distance += candidate[static_cast<std::size_t>(l)] != parent[static_cast<std::size_t>(l)];
        }
        parasites.push_back({candidate, c, 1});
        distances.push_back(distance);
      }
      const Population population = make_population(parasites, genome_size);
      const std::vector<std::int32_t> order = {1, 2, 3, 4, 5, 6, 7, 8, 0};
      for (const std::int32_t threshold : {0, 1, 2, 3}) {
        std::int32_t expected_species = 0;
        for (const std::int32_t row : order) {
          if (distances[static_cast<std::size_t>(row)] <= threshold) {
            expected_species = parasites[static_cast<std::size_t>(row)].species_id;
            break;
          }
        }
        Population pool(genome_size);
        pool.resize(1);
        random::Generator generator = seeded(trial);
        ASSERT_TRUE(offspring(population, heads_of(population), order, 0, 9, rules(threshold, 0.0),
                              generator, pool, 0));
        ASSERT_EQ(pool.species_id(0), expected_species)
            << genome_size << " loci, trial " << trial << ", threshold " << threshold;
      }
    }
  }
}

TEST(MateSearch, MatingWithItselfCopiesTheParentUpToMutation) {
  const Population population = make_population({{"1011001110", 5, 2}, {"0000000000", 6, 1}}, 10);
  Population pool(10);
  pool.resize(1);
  random::Generator generator = seeded(3);
  const random::Generator start = generator;
  const std::vector<std::int32_t> order = {0, 1};
  ASSERT_TRUE(
      offspring(population, heads_of(population), order, 0, 2, rules(1, -1.0), generator, pool, 0));
  EXPECT_EQ(loci_of(pool, 0), "1011001110");
  EXPECT_EQ(pool.species_id(0), 5);
  EXPECT_EQ(pool.host_id(0), 2);
  EXPECT_EQ(pool.phenotype(0), 0.6);
  EXPECT_EQ(generator.state(), advanced(start, 11).state());  // crossover + one per locus

  // Every locus flips when the rate is 1.
  ASSERT_TRUE(
      offspring(population, heads_of(population), order, 0, 2, rules(1, 1.0), generator, pool, 0));
  EXPECT_EQ(loci_of(pool, 0), "0100110001");
  EXPECT_EQ(pool.phenotype(0), 0.4);
}

TEST(MateSearch, WithoutLociTheFirstCandidateMatesAndOneDeviateIsDrawn) {
  const Population population = make_population({{"", 1, 1}, {"", 7, 1}}, 0);
  Population pool(0);
  pool.resize(1);
  random::Generator generator = seeded(5);
  const random::Generator start = generator;
  const std::vector<std::int32_t> order = {1, 0};
  ASSERT_TRUE(
      offspring(population, heads_of(population), order, 0, 2, rules(1, 0.5), generator, pool, 0));
  EXPECT_EQ(pool.species_id(0), 7);
  EXPECT_EQ(pool.phenotype(0), 0.0);
  EXPECT_EQ(generator.state(), advanced(start, 1).state());
}

// The parent mates with the only candidate, whatever the distance: loci up to the crossover
// point from the mate, the rest from the parent, each drawing its mutation deviate.
TEST(MateSearch, PackedRecombinationMatchesTheReferenceChild) {
  random::Generator source = seeded(77);
  HostTable one_host;
  one_host.host_phenotype = {0.0};
  one_host.host_load = {2};
  for (const int genome_size : {1, 2, 7, 63, 64, 65, 127, 128, 129, 300}) {
    for (const double rate : {0.0, 0.02, 0.5}) {
      for (int trial = 0; trial < 40; ++trial) {
        std::string parent;
        std::string mate;
        for (int l = 0; l < genome_size; ++l) {
          parent += (source.next_output() & 1) ? '1' : '0';
          mate += (source.next_output() & 1) ? '1' : '0';
        }
        const Population population = make_population({{parent, 1, 1}, {mate, 2, 1}}, genome_size);
        Population pool(genome_size);
        pool.resize(1);
        random::Generator generator = seeded(trial + genome_size);
        Parameters parameters;
        parameters.mutation_rate = rate;
        reference::World expected = reference::world_holding(parameters, genome_size, population,
                                                             one_host, generator.state());
        expected.mate_order(1) = 2;
        std::int32_t found_mate = 0;
        reference::offspring(expected, 1, 1, found_mate);
        ASSERT_EQ(found_mate, 1);

        const std::vector<std::int32_t> order = {1};
        ASSERT_TRUE(offspring(population, heads_of(population), order, 0, 1,
                              rules(genome_size, rate), generator, pool, 0));
        const reference::Matrix<double> child = reference::population_matrix(pool);
        for (int column = 1; column <= genome_size + 3; ++column) {
          ASSERT_EQ(child(1, column), expected.child(column))
              << "column " << column << ", " << genome_size << " loci, rate " << rate << ", trial "
              << trial;
        }
        ASSERT_EQ(generator.state(), reference::program_state(expected.generator));
      }
    }
  }
}

}  // namespace
}  // namespace parasim::model
