// One call of the species labelling on populations like those of a run: a few
// species far apart, their members within a few mutations of the species' centre and
// often identical, and optionally some stragglers with genomes of their own. The
// labeller is reused across iterations, as the generation loop reuses it.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "species/species.hpp"

namespace {

using parasim::species::PackedGenomes;
using parasim::species::SpeciesLabeller;
using parasim::species::words_for_loci;

constexpr std::size_t species_centres = 5;
constexpr std::size_t max_mutations = 3;

struct Population {
  std::vector<std::uint64_t> words;
  std::size_t words_per_genome = 0;
  std::size_t count = 0;

  PackedGenomes view() const { return {words.data(), words_per_genome, count}; }
};

Population clumped_population(std::size_t count, std::size_t loci,
                              std::size_t stragglers_per_thousand) {
  std::mt19937_64 rng(20240607);
  const std::size_t words = words_for_loci(loci);
  const auto random_genome = [&](std::uint64_t* genome) {
    for (std::size_t w = 0; w < words; ++w) {
      genome[w] = rng();
    }
    if (loci % 64 != 0) {
      genome[words - 1] &= (std::uint64_t{1} << (loci % 64)) - 1;
    }
  };
  // Random centres lie about loci / 2 apart, far beyond the threshold.
  std::vector<std::uint64_t> centres(species_centres * words);
  for (std::size_t c = 0; c < species_centres; ++c) {
    random_genome(centres.data() + c * words);
  }

  Population population{std::vector<std::uint64_t>(count * words), words, count};
  std::uniform_int_distribution<std::size_t> pick_centre(0, species_centres - 1);
  std::uniform_int_distribution<std::size_t> pick_mutations(0, max_mutations);
  std::uniform_int_distribution<std::size_t> pick_locus(0, loci - 1);
  std::uniform_int_distribution<std::size_t> per_thousand(0, 999);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t* genome = population.words.data() + i * words;
    if (per_thousand(rng) < stragglers_per_thousand) {
      random_genome(genome);
      continue;
    }
    const std::uint64_t* centre = centres.data() + pick_centre(rng) * words;
    std::copy(centre, centre + words, genome);
    for (std::size_t m = pick_mutations(rng); m > 0; --m) {
      const std::size_t locus = pick_locus(rng);
      genome[locus / 64] ^= std::uint64_t{1} << (locus % 64);
    }
  }
  return population;
}

void BM_SpeciesLabel(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const auto loci = static_cast<std::size_t>(state.range(1));
  const Population population =
      clumped_population(count, loci, static_cast<std::size_t>(state.range(2)));
  // mate_threshold as a run with max_differentiation 0.1 derives it.
  const auto mate_threshold = static_cast<std::int32_t>(loci / 10 + 1);
  std::vector<std::int32_t> species_id(count, 1);
  SpeciesLabeller labeller;
  for (auto _ : state) {
    labeller.label(population.view(), species_id, mate_threshold);
    benchmark::DoNotOptimize(species_id.data());
  }
  state.counters["clusters"] = static_cast<double>(labeller.cluster_count());
}

// Arguments: parasites, genome size, stragglers per thousand parasites.
BENCHMARK(BM_SpeciesLabel)
    ->ArgsProduct({{1000, 10000, 50000}, {64, 200, 1000}, {0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpeciesLabel)
    ->ArgsProduct({{50000}, {200, 1000}, {2, 20}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
