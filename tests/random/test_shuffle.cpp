#include "random/shuffle.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "random/seeding.hpp"
#include "reference/adapters.hpp"

namespace parasim::random {
namespace {

TEST(Shuffle, FourEntriesFromTickCount123456) {
  Generator generator;
  init_random_seed(generator, 123456);
  std::vector<std::int32_t> vector(4);
  shuffle(vector, 4, 10, generator);
  EXPECT_EQ(vector, (std::vector<std::int32_t>{11, 14, 13, 12}));

  Generator counted;
  init_random_seed(counted, 123456);
  for (int i = 0; i < 8; ++i) {
    counted.next_output();
  }
  EXPECT_EQ(generator.state(), counted.state());
}

TEST(Shuffle, SingleEntryDrawsTwoDeviatesAndEmptyDrawsNone) {
  Generator generator;
  init_random_seed(generator, 99);
  const Generator start = generator;
  std::vector<std::int32_t> vector = {-7, -7};
  shuffle(vector, 0, 5, generator);
  shuffle(vector, -3, 5, generator);
  EXPECT_EQ(generator.state(), start.state());
  EXPECT_EQ(vector, (std::vector<std::int32_t>{-7, -7}));

  shuffle(vector, 1, 5, generator);
  EXPECT_EQ(vector, (std::vector<std::int32_t>{6, -7}));  // the entry after n is untouched
  Generator two = start;
  two.next_output();
  two.next_output();
  EXPECT_EQ(generator.state(), two.state());
}

TEST(Shuffle, MatchesTheReferenceForManySizes) {
  Generator generator;
  init_random_seed(generator, 2024);
  for (std::int32_t n = 1; n <= 300; ++n) {
    for (const std::int32_t offset : {0, -1, 17}) {
      reference::Generator expected_generator = reference::reference_generator(generator.state());
      reference::OneBased<std::int32_t> expected(n);
      reference::shuffle(expected_generator, expected, n, offset);
      std::vector<std::int32_t> vector(static_cast<std::size_t>(n));
      shuffle(vector, n, offset, generator);
      ASSERT_EQ(vector, expected.values()) << "n " << n;
      ASSERT_EQ(generator.state(), reference::program_state(expected_generator));
      std::vector<std::int32_t> sorted = vector;
      std::sort(sorted.begin(), sorted.end());
      for (std::int32_t i = 0; i < n; ++i) {
        ASSERT_EQ(sorted[static_cast<std::size_t>(i)], offset + i + 1);
      }
    }
  }
}

// With n = 3 the nine equally likely position pairs per exchange give the unchanged
// order 5/27, each single exchange 14/81 and each rotation 4/27.
TEST(Shuffle, OrdersOfThreeFollowTheirProbabilities) {
  Generator generator;
  init_random_seed(generator, 31337);
  constexpr int samples = 300000;
  std::map<std::vector<std::int32_t>, int> counts;
  std::vector<std::int32_t> vector(3);
  for (int i = 0; i < samples; ++i) {
    shuffle(vector, 3, 0, generator);
    ++counts[vector];
  }
  const std::map<std::vector<std::int32_t>, double> expected = {
      {{1, 2, 3}, 5.0 / 27}, {{2, 1, 3}, 14.0 / 81}, {{3, 2, 1}, 14.0 / 81},
      {{1, 3, 2}, 14.0 / 81}, {{2, 3, 1}, 4.0 / 27}, {{3, 1, 2}, 4.0 / 27}};
  ASSERT_EQ(counts.size(), expected.size());
  for (const auto& [order, probability] : expected) {
    const double observed = static_cast<double>(counts[order]) / samples;
    // Five standard errors of a binomial share: a false alarm is very unlikely.
    const double tolerance = 5.0 * std::sqrt(probability * (1 - probability) / samples);
    EXPECT_NEAR(observed, probability, tolerance);
  }
}

}  // namespace
}  // namespace parasim::random
