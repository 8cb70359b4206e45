#include "model/reproduction.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "model/population_builder.hpp"
#include "random/seeding.hpp"
#include "reference/adapters.hpp"

namespace parasim::model {
namespace {

using testing::make_population;
using testing::Parasite;

struct Phase {
  Population pool{4};
  random::Generator generator;
  random::Generator start;
};

Phase run_phase(const Population& population, const HostTable& hosts, std::int32_t max_offspring,
                std::int32_t carrying_capacity, std::int32_t mate_threshold) {
  Phase phase;
  random::init_random_seed(phase.generator, 404);
  phase.start = phase.generator;
  ReproductionBuffers buffers;
  reproduce(population, hosts, {max_offspring, carrying_capacity},
            {mate_threshold, random::EventThreshold(0.0)}, phase.generator, buffers, phase.pool);
  return phase;
}

random::Generator advanced(random::Generator generator, std::int64_t draws) {
  for (std::int64_t i = 0; i < draws; ++i) {
    generator.next_output();
  }
  return generator;
}

HostTable loads(std::vector<std::int32_t> host_load) {
  HostTable hosts;
  hosts.host_phenotype.assign(host_load.size(), 0.0);
  hosts.host_load = std::move(host_load);
  return hosts;
}

TEST(Reproduction, CarryingCapacityStopsTheHostWithoutFurtherDraws) {
  // Ten identical residents: every attempt succeeds; the host stops after 4 children.
  const Population population = make_population(std::vector<Parasite>(10, {"0110", 1, 1}), 4);
  const Phase phase = run_phase(population, loads({10}), 2, 4, 1);
  EXPECT_EQ(phase.pool.size(), 4u);
  // parent_queue, then per attempt a full mate_order and the child's 1 + 4 deviates.
  EXPECT_EQ(phase.generator.state(), advanced(phase.start, 2 * 10 + 4 * (2 * 10 + 5)).state());
}

TEST(Reproduction, NoOffspringAllowedMeansNoAttempts) {
  const Population population = make_population(std::vector<Parasite>(3, {"0110", 1, 1}), 4);
  const Phase phase = run_phase(population, loads({3, 0}), 0, 10, 1);
  EXPECT_EQ(phase.pool.size(), 0u);
  EXPECT_EQ(phase.generator.state(), advanced(phase.start, 2 * 3).state());
}

TEST(Reproduction, EmptyHostsAreSkippedAndChildrenComeHostByHost) {
  std::vector<Parasite> parasites;
  for (int i = 0; i < 3; ++i) {
    parasites.push_back({"0000", 1, 2});
  }
  for (int i = 0; i < 2; ++i) {
    parasites.push_back({"1111", 2, 4});
  }
  const Population population = make_population(parasites, 4);
  // A threshold of 4 makes every pair compatible; host 1 and host 3 are empty.
  const Phase phase = run_phase(population, loads({0, 3, 0, 2}), 3, 100, 4);
  ASSERT_EQ(phase.pool.size(), 3u * 3 + 2 * 3);
  for (std::size_t row = 0; row < phase.pool.size(); ++row) {
    EXPECT_EQ(phase.pool.host_id(row), row < 9 ? 2 : 4);
  }
  const std::int64_t draws = 2 * 3 + 9 * (2 * 5 + 5) + 2 * 2 + 6 * (2 * 5 + 5);
  EXPECT_EQ(phase.generator.state(), advanced(phase.start, draws).state());
}

// Many small worlds, among them stuck parents (threshold 0 with unique genomes),
// queue wraps and capacity stops, against the reference phase.
TEST(Reproduction, MatchesTheReferencePhase) {
  random::Generator source;
  random::init_random_seed(source, 8080);
  for (int trial = 0; trial < 400; ++trial) {
    const auto genome_size = static_cast<std::int32_t>(source.next_index(12));
    const auto host_count = static_cast<std::size_t>(source.next_index(4) + 1);
    std::vector<std::int32_t> host_load(host_count);
    std::vector<Parasite> parasites;
    for (std::size_t h = 0; h < host_count; ++h) {
      host_load[h] = static_cast<std::int32_t>(source.next_index(6));
      for (std::int32_t i = 0; i < host_load[h]; ++i) {
        Parasite p{"", static_cast<std::int32_t>(source.next_index(3) + 1),
                   static_cast<std::int32_t>(h + 1)};
        const std::uint32_t pattern = source.next_output();
        for (std::int32_t l = 0; l < genome_size; ++l) {
          // Few distinct genomes, so that some pairs are compatible and some are not.
          p.loci += ((pattern >> (l % 3)) & 1) ? '1' : '0';
        }
        parasites.push_back(p);
      }
    }
    if (parasites.empty()) {
      continue;
    }
    Parameters parameters;
    parameters.max_offspring = static_cast<std::int32_t>(source.next_index(4));
    parameters.carrying_capacity = static_cast<std::int32_t>(source.next_index(8) + 1);
    const auto threshold = static_cast<std::int32_t>(source.next_index(4));
    parameters.mutation_rate = trial % 3 == 0 ? 0.1 : 0.0;

    random::Generator generator;
    random::init_random_seed(generator, trial);
    const Population population = make_population(parasites, genome_size);
    const HostTable hosts = loads(host_load);
    reference::World expected =
        reference::world_holding(parameters, threshold, population, hosts, generator.state());
    reference::reproduce(expected);

    ReproductionBuffers buffers;
    Population pool(genome_size);
    reproduce(population, hosts, {parameters.max_offspring, parameters.carrying_capacity},
              {threshold, random::EventThreshold(parameters.mutation_rate)}, generator, buffers,
              pool);
    ASSERT_EQ(reference::population_matrix(pool),
              reference::leading_rows(expected.offspring_pool, expected.children_count))
        << "trial " << trial;
    ASSERT_EQ(generator.state(), reference::program_state(expected.generator)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace parasim::model
