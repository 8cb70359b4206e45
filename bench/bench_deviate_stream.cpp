// The stream of deviates on each path (0: blocks on the widest vector path this processor
// runs, 1: blocks on the portable path, 2: the generator itself on the portable path), read one
// output at a time and a block at a time, and the permutation drawn from it with some of
// its entries read, as the mate search reads them.
#include <benchmark/benchmark.h>

#include <vector>

#include "random/deferred_shuffle.hpp"
#include "random/deviate_stream.hpp"
#include "random/exchange_trace.hpp"
#include "random/seeding.hpp"

namespace {

using parasim::random::DeferredShuffle;
using parasim::random::DeviateStream;
using parasim::random::Generator;
using parasim::random::StreamFill;
using parasim::random::StreamPath;
using parasim::random::VectorPath;

StreamPath stream_path(std::int64_t arg) {
  switch (arg) {
    case 0:
      return {StreamFill::blocks, parasim::random::processor_paths().widest()};
    case 1:
      return {StreamFill::blocks, VectorPath::portable};
    default:
      return {StreamFill::sequential, VectorPath::portable};
  }
}

Generator::State seeded_state() {
  Generator generator;
  parasim::random::init_random_seed(generator, 123456);
  return generator.state();
}

// Items are deviates.
void BM_StreamOneByOne(benchmark::State& state) {
  DeviateStream stream(seeded_state(), stream_path(state.range(0)));
  for (auto _ : state) {
    std::uint32_t sink = 0;
    for (int i = 0; i < 1000; ++i) {
      sink ^= stream.next_output();
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_StreamOneByOne)->Arg(0)->Arg(1)->Arg(2);

// Items are deviates, read a block at a time.
void BM_StreamBlocks(benchmark::State& state) {
  DeviateStream stream(seeded_state(), stream_path(state.range(0)));
  for (auto _ : state) {
    const auto outputs = stream.next_outputs(DeviateStream::block_size);
    benchmark::DoNotOptimize(outputs.data());
  }
  state.SetItemsProcessed(state.iterations() * DeviateStream::block_size);
}
BENCHMARK(BM_StreamBlocks)->Arg(0)->Arg(1)->Arg(2);

// Items are exchanges: draw a permutation of n entries and read its first `reads`
// entries (-1: all, as the parent queue does). The order learns from the reads of the
// orders before, as it does in a run.
void BM_DeferredShuffle(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto reads = state.range(1);
  DeviateStream stream(seeded_state(), stream_path(state.range(2)));
  DeferredShuffle order;
  for (auto _ : state) {
    order.draw(stream, n, -1);
    std::int32_t sink = 0;
    if (reads < 0) {
      sink = order.entries()[0];
    }
    for (std::int64_t i = 0; i < reads; ++i) {
      sink ^= order[static_cast<std::size_t>(i)];
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DeferredShuffle)->ArgsProduct({{400, 1600, 7000, 50000}, {0, 1, 8, -1}, {0, 1}});

// Items are exchanges: `count` places of a permutation of n entries (16-bit positions)
// followed back through all its exchanges, on the widest vector path (0) or the portable
// one (1), as an order traces its first entries.
void BM_FollowExchanges(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const auto count = static_cast<std::size_t>(state.range(1));
  const VectorPath path = stream_path(state.range(2)).vectors;
  DeviateStream stream(seeded_state(), stream_path(0));
  std::vector<std::uint16_t> positions(2 * n);
  stream.next_positions(n, positions.size(), positions.data());
  for (auto _ : state) {
    std::uint32_t at[16];
    for (std::size_t e = 0; e < count; ++e) {
      at[e] = static_cast<std::uint32_t>(e);
    }
    parasim::random::follow_exchanges(positions.data(), n, parasim::random::Direction::back, at,
                                      count, path);
    benchmark::DoNotOptimize(at);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FollowExchanges)->ArgsProduct({{400, 1600, 7000, 50000}, {1, 4, 16}, {0, 1}});

}  // namespace
