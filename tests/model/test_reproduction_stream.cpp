#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model/population_builder.hpp"
#include "model/reproduction.hpp"
#include "random/seeding.hpp"
#include "random/stream_testing.hpp"

namespace parasim::model {
namespace {

using testing::make_population;
using testing::Parasite;

// A world of a few species (clumps of genomes a locus or two from their centre) and some
// loners far from everything, spread over the hosts in host order: parents that mate at
// once, parents that search long, and parents stuck with few compatible parasites.
struct World {
  Population population;
  HostTable hosts;
};

World random_world(std::mt19937& random, std::int32_t genome_size) {
  const std::size_t host_count = 1 + random() % 4;
  const std::size_t species = 1 + random() % 4;
  std::vector<std::string> centres(species);
  for (std::string& centre : centres) {
    for (std::int32_t l = 0; l < genome_size; ++l) {
      centre += random() % 2 ? '1' : '0';
    }
  }
  World world;
  world.hosts.host_phenotype.assign(host_count, 0.0);
  std::vector<Parasite> parasites;
  for (std::size_t h = 0; h < host_count; ++h) {
    const auto residents = static_cast<std::int32_t>(random() % 250);
    world.hosts.host_load.push_back(residents);
    for (std::int32_t i = 0; i < residents; ++i) {
      Parasite p{centres[random() % species], static_cast<std::int32_t>(1 + random() % 5),
                 static_cast<std::int32_t>(h + 1)};
      const bool loner = random() % 10 == 0;
      for (std::uint32_t flips = loner ? genome_size / 2 : random() % 3; flips > 0; --flips) {
        char& locus = p.loci[random() % static_cast<std::uint32_t>(genome_size)];
        locus = locus == '1' ? '0' : '1';
      }
      parasites.push_back(p);
    }
  }
  world.population = make_population(parasites, genome_size);
  return world;
}

// The phase drawn from the stream, on every path, makes the children of the phase drawn
// from the generator one deviate at a time (itself held to the literal phase in
// test_reproduction.cpp), and leaves the stream where the generator is.
TEST(ReproductionFromTheStream, MakesTheChildrenOfTheGenerator) {
  std::mt19937 random(1357);
  for (int trial = 0; trial < 24; ++trial) {
    const auto genome_size = static_cast<std::int32_t>(8 + random() % 120);
    const World world = random_world(random, genome_size);
    if (world.population.size() == 0) {
      continue;
    }
    const ReproductionLimits limits{static_cast<std::int32_t>(1 + random() % 3),
                                    static_cast<std::int32_t>(1 + random() % 300)};
    const MatingRules rules{static_cast<std::int32_t>(random() % 4),
                            random::EventThreshold(trial % 2 ? 0.01 : 0.0)};
    random::Generator expected;
    random::init_random_seed(expected, trial * 7919);
    const random::Generator::State start = expected.state();
    Population expected_pool(genome_size);
    ReproductionBuffers buffers;
    reproduce(world.population, world.hosts, limits, rules, expected, buffers, expected_pool);

    for (const random::StreamPath path : random::testing::all_paths()) {
      random::DeviateStream stream(start, path);
      Population pool(genome_size);
      ReproductionBuffers stream_buffers;
      reproduce(world.population, world.hosts, limits, rules, stream, stream_buffers, pool);
      ASSERT_EQ(pool.size(), expected_pool.size()) << "trial " << trial;
      for (std::size_t row = 0; row < pool.size(); ++row) {
        for (std::size_t w = 0; w < pool.words_per_genome(); ++w) {
          ASSERT_EQ(pool.genome(row)[w], expected_pool.genome(row)[w]) << "trial " << trial;
        }
        ASSERT_EQ(pool.species_id(row), expected_pool.species_id(row));
        ASSERT_EQ(pool.host_id(row), expected_pool.host_id(row));
        ASSERT_EQ(pool.phenotype(row), expected_pool.phenotype(row));
      }
      ASSERT_EQ(stream.state(), expected.state()) << "trial " << trial;
    }
  }
}

}  // namespace
}  // namespace parasim::model
