#include "model/reproduction.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "model/population_builder.hpp"
#include "random/seeding.hpp"

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

// The literal phase on parasites held as strings: 1-based rows, a full literal
// shuffle before every attempt, the literal mate search and child.
std::vector<Parasite> plain_reproduce(const std::vector<Parasite>& population,
                                      const std::vector<std::int32_t>& host_load,
                                      std::int32_t max_offspring, std::int32_t capacity,
                                      std::int32_t threshold, double rate,
                                      random::Generator& g) {
  const auto shuffle_rows = [&g](std::int32_t n, std::int32_t offset) {
    std::vector<std::int32_t> v(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 1; i <= n; ++i) {
      v[static_cast<std::size_t>(i)] = offset + i;
    }
    for (std::int32_t e = 0; e < n; ++e) {
      const auto j = static_cast<std::size_t>(static_cast<long double>(n) * g.uniform_deviate()) + 1;
      const auto k = static_cast<std::size_t>(static_cast<long double>(n) * g.uniform_deviate()) + 1;
      std::swap(v[j], v[k]);
    }
    return v;
  };
  const auto n = static_cast<std::int32_t>(population.size());
  std::vector<Parasite> children;
  std::int32_t offset = 0;
  for (const std::int32_t residents : host_load) {
    const std::int32_t host_offset = offset;
    offset += residents;
    if (residents < 1) {
      continue;
    }
    const std::vector<std::int32_t> queue = shuffle_rows(residents, host_offset);
    std::int32_t cursor = 1;
    std::int32_t made = 0;
    for (std::int32_t attempt = 0; attempt < residents * max_offspring; ++attempt) {
      const Parasite& parent = population[static_cast<std::size_t>(queue[static_cast<std::size_t>(cursor)] - 1)];
      const std::vector<std::int32_t> order = shuffle_rows(n, 0);
      const Parasite* mate = nullptr;
      for (std::int32_t c = 1; c <= residents && mate == nullptr; ++c) {
        const Parasite& candidate = population[static_cast<std::size_t>(order[static_cast<std::size_t>(c)] - 1)];
        int distance = 0;
        for (std::size_t l = 0; l < parent.loci.size(); ++l) {
          distance += parent.loci[l] != candidate.loci[l];
        }
        if (distance <= threshold) {
          mate = &candidate;
        }
      }
      if (mate == nullptr) {
        continue;
      }
      const auto size = static_cast<long double>(parent.loci.size());
      const auto crossover = static_cast<std::size_t>(size * g.uniform_deviate() + 1);
      Parasite child{"", mate->species_id, parent.host_id};
      for (std::size_t j = 1; j <= parent.loci.size(); ++j) {
        const double u = g.uniform_deviate();
        char locus = j <= crossover ? mate->loci[j - 1] : parent.loci[j - 1];
        if (u <= rate) {
          locus = locus == '1' ? '0' : '1';
        }
        child.loci += locus;
      }
      children.push_back(child);
      if (++cursor > residents) {
        cursor = 1;
      }
      if (++made >= capacity) {
        break;
      }
    }
  }
  return children;
}

// Many small worlds, among them stuck parents (threshold 0 with unique genomes),
// queue wraps and capacity stops, against the literal phase.
TEST(Reproduction, MatchesTheLiteralPhase) {
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
    const auto max_offspring = static_cast<std::int32_t>(source.next_index(4));
    const auto capacity = static_cast<std::int32_t>(source.next_index(8) + 1);
    const auto threshold = static_cast<std::int32_t>(source.next_index(4));
    const double rate = trial % 3 == 0 ? 0.1 : 0.0;

    random::Generator generator;
    random::init_random_seed(generator, trial);
    random::Generator plain = generator;
    const Population population = make_population(parasites, genome_size);
    HostTable hosts = loads(host_load);
    ReproductionBuffers buffers;
    Population pool(genome_size);
    reproduce(population, hosts, {max_offspring, capacity},
              {threshold, random::EventThreshold(rate)}, generator, buffers, pool);
    const std::vector<Parasite> expected =
        plain_reproduce(parasites, host_load, max_offspring, capacity, threshold, rate, plain);
    ASSERT_EQ(pool.size(), expected.size()) << "trial " << trial;
    for (std::size_t row = 0; row < expected.size(); ++row) {
      ASSERT_EQ(testing::loci_of(pool, row), expected[row].loci) << "trial " << trial;
      ASSERT_EQ(pool.species_id(row), expected[row].species_id);
      ASSERT_EQ(pool.host_id(row), expected[row].host_id);
    }
    ASSERT_EQ(generator.state(), plain.state()) << "trial " << trial;
  }
}

}  // namespace
}  // namespace parasim::model
