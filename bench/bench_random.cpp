// The generator and the permutation drawn before every mating attempt: the two
// costs that bound a draw-heavy run.
#include <benchmark/benchmark.h>

#include <vector>

#include "random/generator.hpp"
#include "random/seeding.hpp"
#include "random/shuffle.hpp"

namespace {

using parasim::random::Generator;

Generator seeded() {
  Generator generator;
  parasim::random::init_random_seed(generator, 123456);
  return generator;
}

// Deviates in batches of 1,000, as the run draws them: the time per item is the
// time per deviate.
void BM_UniformDeviate(benchmark::State& state) {
  Generator generator = seeded();
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < 1000; ++i) {
      sum += generator.uniform_deviate();
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_UniformDeviate);

// Items are entries: the time per item is the time per entry of the permutation.
void BM_Shuffle(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  Generator generator = seeded();
  std::vector<std::int32_t> vector(static_cast<std::size_t>(n));
  for (auto _ : state) {
    parasim::random::shuffle(vector, n, -1, generator);
    benchmark::DoNotOptimize(vector.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Shuffle)->Arg(1000)->Arg(10000)->Arg(100000);

// Two deviates per entry and nothing else: the floor of a permutation.
void BM_TwoDeviatesPerEntry(benchmark::State& state) {
  const auto n = state.range(0);
  Generator generator = seeded();
  for (auto _ : state) {
    std::uint32_t sink = 0;
    for (std::int64_t i = 0; i < 2 * n; ++i) {
      sink ^= generator.next_output();
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TwoDeviatesPerEntry)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
