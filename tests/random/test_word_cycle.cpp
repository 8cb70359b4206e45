#include "random/word_cycle.hpp"

#include <gtest/gtest.h>

#include "random/stream_testing.hpp"

namespace parasim::random {
namespace {

// w after `steps` steps, one step after another.
std::uint32_t stepped(std::uint32_t w, std::uint64_t steps) {
  for (std::uint64_t i = 0; i < steps; ++i) {
    w = next_multiplicative_word(w);
  }
  return w;
}

TEST(WordCycle, TableGivesTheWordOfEveryStepPastManyWraps) {
  std::vector<std::uint32_t> starts = {0u,          868985321u,  255553u,
                                       0x7FFFFFFEu, 0x7FFFFFFFu, 0xFFFFFFFFu};
  for (const std::int32_t ticks : testing::telling_tick_counts()) {
    starts.push_back(testing::seeded_reference(ticks).w);
  }
  for (const std::uint32_t start : starts) {
    const auto cycle = WordCycle::find(start, std::uint64_t{1} << 22, 64);
    ASSERT_TRUE(cycle) << start;
    const std::uint64_t tail = cycle->tail();
    const std::uint64_t length = cycle->length();
    std::uint32_t w = start;
    for (std::uint64_t step = 0; step < tail + 3 * length + 70; ++step) {
      if (step >= tail) {
        ASSERT_EQ(cycle->word_at(step), w) << start << " step " << step;
      }
      w = next_multiplicative_word(w);
    }
    // The tail is as short as it can be, and the cycle too.
    if (tail > 0) {
      EXPECT_NE(stepped(start, tail - 1), stepped(start, tail - 1 + length)) << start;
    }
    for (std::uint64_t d = 1; d < length; ++d) {
      ASSERT_NE(cycle->word_at(tail + d), cycle->word_at(tail)) << start;
    }
    // The padding repeats the cycle, so a block's words are read without a wrap.
    const std::uint64_t far = tail + 1000003;
    for (std::size_t i = 0; i < 64; ++i) {
      ASSERT_EQ(cycle->words_from(far)[i], cycle->word_at(far + i)) << start;
    }
  }
}

TEST(WordCycle, LongestTailOfAnySeedAndTheFixedPoint) {
  const auto longest = WordCycle::find(testing::seeded_reference(31386512).w, 1u << 22, 0);
  ASSERT_TRUE(longest);
  EXPECT_EQ(longest->tail(), 91964u);
  EXPECT_EQ(longest->length(), 21729u);

  const struct {
    std::int32_t ticks;
    std::uint64_t tail;
  } fixed_point[] = {{572662195, 0}, {300518236, 1}, {1169518977, 1}};
  for (const auto& seed : fixed_point) {
    const auto cycle = WordCycle::find(testing::seeded_reference(seed.ticks).w, 1u << 22, 0);
    ASSERT_TRUE(cycle);
    EXPECT_EQ(cycle->tail(), seed.tail) << seed.ticks;
    EXPECT_EQ(cycle->length(), 1u);
    EXPECT_EQ(cycle->word_at(seed.tail), 0u);
  }
}

TEST(WordCycle, GivesUpBeyondItsBound) {
  EXPECT_FALSE(WordCycle::find(testing::seeded_reference(31386512).w, 100000, 0));
  EXPECT_TRUE(WordCycle::find(testing::seeded_reference(31386512).w, 300000, 0));
}

}  // namespace
}  // namespace parasim::random
