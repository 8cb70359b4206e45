// The kernels' preconditions stop a debug build at the call that breaks them, instead of
// a vector store past a buffer or a result read from half-overwritten input.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "random/block_fill.hpp"
#include "random/exchange_trace.hpp"
#include "random/output_kernels.hpp"

namespace parasim::random {
namespace {

struct Misuse {
  const char* what;
  std::function<void(VectorPath)> call;
};

TEST(KernelPreconditions, EveryPathStopsAtACallThatBreaksThem) {
#ifdef NDEBUG
  GTEST_SKIP() << "checked in debug builds only";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<std::uint32_t> words(8 * 64, 7);
  std::vector<std::uint32_t> out(8 * 64);
  std::vector<std::uint16_t> narrow(8 * 64);
  const auto lanes = [](VectorPath path) {
    return std::vector<XorshiftWords>(block_lanes(path), XorshiftWords{1, 2, 3});
  };
  const Misuse misuses[] = {
      {"a stretch of part of a group of eight steps",
       [&](VectorPath path) { fill_outputs(path, lanes(path), 12, words.data(), out.data()); }},
      {"a stretch of half a group of sixteen steps",
       [&](VectorPath path) {
         fill_positions(path, lanes(path), 8, words.data(), 100, narrow.data());
       }},
      {"a start for each of the wrong number of lanes",
       [&](VectorPath path) {
         const std::vector<XorshiftWords> one_too_many(block_lanes(path) + 1);
         fill_outputs(path, one_too_many, 8, words.data(), out.data());
       }},
      {"outputs written over their own multiplicative words",
       [&](VectorPath path) {
         fill_outputs(path, lanes(path), 16, words.data(), words.data() + 3);
       }},
      {"16-bit positions of an order of more than 65,536 entries",
       [&](VectorPath path) { positions(path, words.data(), 16, 70000, narrow.data()); }},
      {"positions written over the outputs",
       [&](VectorPath path) { positions(path, words.data(), 16, 100, words.data() + 8); }},
      {"more than 64 event bits",
       [&](VectorPath path) { event_bits(path, words.data(), 65, 100); }},
      {"more than 16 followed places",
       [&](VectorPath path) {
         std::array<std::uint32_t, 17> at{};
         follow_exchanges(narrow.data(), 8, Direction::back, at.data(), at.size(), path);
       }},
      {"a followed place wider than the positions",
       [&](VectorPath path) {
         std::uint32_t at = 65536;
         follow_exchanges(narrow.data(), 8, Direction::forward, &at, 1, path);
       }},
  };
  for (const VectorPath path : all_vector_paths) {
    if (!processor_paths().has(path)) {
      // Called on a path the processor lacks, a kernel stops before it runs anything.
      EXPECT_DEATH(positions(path, words.data(), 16, 100, out.data()), "Assertion")
          << vector_path_name(path);
      std::vector<XorshiftWords> starts = lanes(path);
      EXPECT_DEATH(XorshiftJump(8).advance(starts, path), "Assertion") << vector_path_name(path);
      continue;
    }
    for (const Misuse& misuse : misuses) {
      EXPECT_DEATH(misuse.call(path), "Assertion")
          << misuse.what << " on " << vector_path_name(path);
    }
  }
}

}  // namespace
}  // namespace parasim::random
