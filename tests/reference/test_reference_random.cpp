// The reference generator and shuffle: known states and outputs for given tick counts, the
// draws a shuffle makes and the order frequencies it gives.
#include <gtest/gtest.h>

#include "reference/reference_random.hpp"

namespace parasim::reference {
namespace {

Generator advanced(Generator generator, int steps) {
  for (int i = 0; i < steps; ++i) {
    next_output(generator);
  }
  return generator;
}

bool same_state(const Generator& a, const Generator& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

TEST(ReferenceRandom, TickCount123456GivesTheKnownStateAndOutputs) {
  Generator generator;
  init_random_seed(generator, 123456);
  EXPECT_EQ(generator.x, 0xF95E7740u);
  EXPECT_EQ(generator.y, 0x0F941B35u);
  EXPECT_EQ(generator.z, 0x00F8BD1Fu);
  EXPECT_EQ(generator.w, 0x2223C08Du);
  EXPECT_EQ(next_output(generator), 3370730463u);
  EXPECT_EQ(next_output(generator), 2920125618u);
  EXPECT_EQ(next_output(generator), 3040787070u);

  init_random_seed(generator, 123456);
  EXPECT_DOUBLE_EQ(uniform_deviate(generator), 3370730463.0 / 4294967296.0);
  EXPECT_NEAR(uniform_deviate(generator), 0.67989472718, 1e-11);
  EXPECT_NEAR(uniform_deviate(generator), 0.70798841072, 1e-11);
}

TEST(ReferenceRandom, LargestTickCountWrapsTheLaterSeedWords) {
  Generator generator;
  init_random_seed(generator, 2147483647);
  EXPECT_EQ(generator.x, 0x86A06AFFu);
  EXPECT_EQ(generator.y, static_cast<std::uint32_t>(-2147483612) ^ 0x0F95F950u);
  EXPECT_EQ(generator.w, static_cast<std::uint32_t>(-2147483538) ^ 0x22222222u);
}

TEST(ReferenceRandom, MultiplicativeWordIsCutTo32BitsBeforeTheReduction) {
  Generator generator{1u, 2u, 3u, 255553u};
  next_output(generator);
  EXPECT_EQ(generator.w, 111975u);

  Generator stuck{1u, 2u, 3u, 868985321u};
  next_output(stuck);
  EXPECT_EQ(stuck.w, 0u);
  const std::uint32_t output = next_output(stuck);
  EXPECT_EQ(stuck.w, 0u);
  EXPECT_EQ(output, stuck.z);
}

TEST(ReferenceRandom, ShuffleOfFourFromTickCount123456) {
  Generator generator;
  init_random_seed(generator, 123456);
  const Generator start = generator;
  OneBased<std::int32_t> vector(4);
  shuffle(generator, vector, 4, 10);
  EXPECT_EQ(vector(1), 11);
  EXPECT_EQ(vector(2), 14);
  EXPECT_EQ(vector(3), 13);
  EXPECT_EQ(vector(4), 12);
  EXPECT_TRUE(same_state(generator, advanced(start, 8)));
}

TEST(ReferenceRandom, ShuffleOfNothingDrawsNothing) {
  Generator generator;
  init_random_seed(generator, 99);
  const Generator start = generator;
  OneBased<std::int32_t> vector(2);
  vector(1) = -7;
  shuffle(generator, vector, 0, 5);
  shuffle(generator, vector, -3, 5);
  EXPECT_TRUE(same_state(generator, start));
  EXPECT_EQ(vector(1), -7);

  shuffle(generator, vector, 1, 5);
  EXPECT_EQ(vector(1), 6);
  EXPECT_TRUE(same_state(generator, advanced(start, 2)));
}

TEST(ReferenceRandom, ShuffleOfThreeHasUnequalOrderFrequencies) {
  // 5/27 for the unchanged order, 4/27 for each rotation.
  Generator generator;
  init_random_seed(generator, 4242);
  const int trials = 54000;
  int unchanged = 0;
  int rotated = 0;
  OneBased<std::int32_t> vector(3);
  for (int t = 0; t < trials; ++t) {
    shuffle(generator, vector, 3, 0);
    if (vector(1) == 1 && vector(2) == 2 && vector(3) == 3) {
      ++unchanged;
    }
    if (vector(1) == 2 && vector(2) == 3 && vector(3) == 1) {
      ++rotated;
    }
  }
  EXPECT_NEAR(unchanged / static_cast<double>(trials), 5.0 / 27.0, 0.01);
  EXPECT_NEAR(rotated / static_cast<double>(trials), 4.0 / 27.0, 0.01);
}

}  // namespace
}  // namespace parasim::reference
