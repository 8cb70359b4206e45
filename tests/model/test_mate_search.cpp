#include "model/mate_search.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "model/population_builder.hpp"
#include "random/seeding.hpp"

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

MatingRules rules(std::int32_t mate_threshold, double mutation_rate) {
  return {mate_threshold, random::EventThreshold(mutation_rate)};
}

TEST(MateSearch, ThresholdIsInclusiveAndTheFirstCompatibleCandidateIsTaken) {
  // Parent 0; candidate 1 differs at 2 loci, candidate 2 at 3, candidate 3 is identical.
  const Population population = make_population(
      {{"000000", 1, 1}, {"110000", 2, 2}, {"111000", 3, 3}, {"000000", 4, 4}}, 6);
  Population pool(6);
  pool.resize(1);
  random::Generator generator = seeded(1);

  const std::vector<std::int32_t> order = {2, 1, 3, 0};
  EXPECT_TRUE(offspring(population, order, 0, 4, rules(2, 0.0), generator, pool, 0));
  EXPECT_EQ(pool.species_id(0), 2);  // the mate at distance 2, not the identical one after it
  EXPECT_EQ(pool.host_id(0), 1);     // the parent's host

  EXPECT_TRUE(offspring(population, order, 0, 4, rules(3, 0.0), generator, pool, 0));
  EXPECT_EQ(pool.species_id(0), 3);

  const random::Generator before = generator;
  EXPECT_FALSE(offspring(population, order, 0, 2, rules(1, 0.0), generator, pool, 0));
  EXPECT_FALSE(offspring(population, order, 0, 0, rules(9, 0.0), generator, pool, 0));
  EXPECT_EQ(generator.state(), before.state());  // a failed search draws nothing
  EXPECT_EQ(pool.species_id(0), 3);              // and leaves the child alone
}

TEST(MateSearch, MatingWithItselfCopiesTheParentUpToMutation) {
  const Population population = make_population({{"1011001110", 5, 2}, {"0000000000", 6, 1}}, 10);
  Population pool(10);
  pool.resize(1);
  random::Generator generator = seeded(3);
  const random::Generator start = generator;
  const std::vector<std::int32_t> order = {0, 1};
  ASSERT_TRUE(offspring(population, order, 0, 2, rules(1, -1.0), generator, pool, 0));
  EXPECT_EQ(loci_of(pool, 0), "1011001110");
  EXPECT_EQ(pool.species_id(0), 5);
  EXPECT_EQ(pool.host_id(0), 2);
  EXPECT_EQ(pool.phenotype(0), 0.6);
  EXPECT_EQ(generator.state(), advanced(start, 11).state());  // crossover + one per locus

  // Every locus flips when the rate is 1.
  ASSERT_TRUE(offspring(population, order, 0, 2, rules(1, 1.0), generator, pool, 0));
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
  ASSERT_TRUE(offspring(population, order, 0, 2, rules(1, 0.5), generator, pool, 0));
  EXPECT_EQ(pool.species_id(0), 7);
  EXPECT_EQ(pool.phenotype(0), 0.0);
  EXPECT_EQ(generator.state(), advanced(start, 1).state());
}

// The literal child: loci 1 ... crossover from the mate, the rest from the parent,
// a deviate per locus drawn before the locus is copied.
std::string plain_child(const std::string& mate, const std::string& parent, double rate,
                        random::Generator& generator) {
  const auto genome_size = static_cast<long double>(mate.size());
  const auto crossover = static_cast<std::size_t>(genome_size * generator.uniform_deviate() + 1);
  std::string child;
  for (std::size_t j = 1; j <= mate.size(); ++j) {
    const double u = generator.uniform_deviate();
    char locus = j <= crossover ? mate[j - 1] : parent[j - 1];
    if (u <= rate) {
      locus = locus == '1' ? '0' : '1';
    }
    child += locus;
  }
  return child;
}

TEST(MateSearch, PackedRecombinationMatchesTheLiteralChild) {
  random::Generator source = seeded(77);
  for (const int genome_size : {1, 2, 7, 63, 64, 65, 127, 128, 129, 300}) {
    for (const double rate : {0.0, 0.02, 0.5}) {
      for (int trial = 0; trial < 40; ++trial) {
        std::string parent;
        std::string mate;
        for (int l = 0; l < genome_size; ++l) {
          parent += (source.next_output() & 1) ? '1' : '0';
          mate += (source.next_output() & 1) ? '1' : '0';
        }
        const Population population =
            make_population({{parent, 1, 1}, {mate, 2, 1}}, genome_size);
        Population pool(genome_size);
        pool.resize(1);
        random::Generator generator = seeded(trial + genome_size);
        random::Generator plain = generator;
        const std::vector<std::int32_t> order = {1};
        ASSERT_TRUE(offspring(population, order, 0, 1, rules(genome_size, rate), generator, pool,
                              0));
        const std::string expected = plain_child(mate, parent, rate, plain);
        ASSERT_EQ(loci_of(pool, 0), expected) << genome_size << " " << rate << " " << trial;
        ASSERT_EQ(generator.state(), plain.state());
        ASSERT_EQ(pool.phenotype(0),
                  static_cast<double>(std::count(expected.begin(), expected.end(), '1')) / 10.0);
      }
    }
  }
}

}  // namespace
}  // namespace parasim::model
