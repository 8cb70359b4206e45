// The block stream of deviates on each path, and the permutation drawn from it with
// some of its entries read, as the mate search reads them.
#include <benchmark/benchmark.h>

#include <vector>

#include "random/deferred_shuffle.hpp"
#include "random/deviate_stream.hpp"
#include "random/seeding.hpp"

namespace {

using parasim::random::DeferredShuffle;
using parasim::random::DeviateStream;
using parasim::random::Generator;
using parasim::random::StreamPath;

Generator::State seeded_state() {
  Generator generator;
  parasim::random::init_random_seed(generator, 123456);
  return generator.state();
}

// Items are deviates.
void BM_StreamOutputs(benchmark::State& state) {
  DeviateStream stream(seeded_state(), static_cast<StreamPath>(state.range(0)));
  for (auto _ : state) {
    std::uint32_t sink = 0;
    for (int i = 0; i < 1000; ++i) {
      sink ^= stream.next_output();
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_StreamOutputs)->Arg(0)->Arg(1)->Arg(2);

// Items are exchanges: draw a permutation of n entries and read its first `reads`
// entries (0: none; n: all, by carrying out the exchanges).
void BM_DeferredShuffle(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto reads = static_cast<std::size_t>(state.range(1));
  DeviateStream stream(seeded_state(), static_cast<StreamPath>(state.range(2)));
  DeferredShuffle order;
  for (auto _ : state) {
    order.draw(stream, n, -1);
    std::int32_t sink = 0;
    for (std::size_t i = 0; i < reads; ++i) {
      sink ^= order[i];
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DeferredShuffle)
    ->ArgsProduct({{1000, 7000, 50000}, {0, 1, 2, 8, 9}, {0, 1}});

}  // namespace
