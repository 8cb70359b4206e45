// One mating attempt without its permutation: the search of the candidates for the
// first compatible one and the construction of the child.
#include <benchmark/benchmark.h>

#include <numeric>
#include <vector>

#include "model/mate_search.hpp"
#include "random/seeding.hpp"
#include "random/shuffle.hpp"

namespace {

using parasim::model::Population;

// A population of `species` clumps of genomes, each genome a few mutations from its
// clump's centre, in random order.
Population clumped_population(std::int32_t size, std::int32_t genome_size, int species,
                              parasim::random::Generator& generator) {
  Population population(genome_size);
  population.resize(static_cast<std::size_t>(size));
  const std::size_t words = population.words_per_genome();
  std::vector<std::vector<std::uint64_t>> centres(static_cast<std::size_t>(species),
                                                  std::vector<std::uint64_t>(words));
  for (auto& centre : centres) {
    for (std::int32_t l = 0; l < genome_size; ++l) {
      if (generator.next_output() & 1) {
        centre[static_cast<std::size_t>(l) / 64] |= std::uint64_t{1} << (l % 64);
      }
    }
  }
  for (std::size_t row = 0; row < population.size(); ++row) {
    const auto& centre = centres[generator.next_index(static_cast<std::uint32_t>(species))];
    std::copy(centre.begin(), centre.end(), population.genome(row));
    for (int m = 0; m < 2; ++m) {
      const std::uint32_t l = generator.next_index(static_cast<std::uint32_t>(genome_size));
      population.genome(row)[l / 64] ^= std::uint64_t{1} << (l % 64);
    }
    population.species_id(row) = 1;
    population.phenotype(row) = 0.0;
    population.host_id(row) = 1;
  }
  return population;
}

void BM_MateSearchAndChild(benchmark::State& state) {
  const auto genome_size = static_cast<std::int32_t>(state.range(0));
  const auto species = static_cast<int>(state.range(1));
  constexpr std::int32_t size = 10000;
  parasim::random::Generator generator;
  parasim::random::init_random_seed(generator, 99);
  const Population population = clumped_population(size, genome_size, species, generator);
  Population pool(genome_size);
  pool.resize(1);
  const parasim::model::MatingRules rules{genome_size / 10 + 1,
                                          parasim::random::EventThreshold(0.005)};
  // A handful of fixed candidate orders, so that the permutation is not timed.
  std::vector<std::vector<std::int32_t>> orders(64, std::vector<std::int32_t>(size));
  for (auto& order : orders) {
    parasim::random::shuffle(order, size, -1, generator);
  }
  parasim::species::GenomeHeads heads;
  parasim::model::take_heads(population, heads);
  std::size_t attempt = 0;
  std::int64_t found = 0;
  for (auto _ : state) {
    const auto& order = orders[attempt % orders.size()];
    const auto parent = static_cast<std::size_t>(attempt * 7919 % size);
    found += parasim::model::offspring(population, heads, order, parent, 1000, rules, generator,
                                       pool, 0);
    ++attempt;
  }
  state.counters["found_share"] = static_cast<double>(found) / static_cast<double>(attempt);
}
BENCHMARK(BM_MateSearchAndChild)->Args({32, 1})->Args({32, 5})->Args({400, 5})->Args({1000, 20});

}  // namespace
