#include "random/generator.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>

#include "random/event_threshold.hpp"
#include "random/seeding.hpp"
#include "reference/adapters.hpp"

namespace parasim::random {
namespace {

TEST(Generator, SeedsFromTickCountAndDrawsTheKnownOutputs) {
  Generator generator;
  init_random_seed(generator, 123456);
  EXPECT_EQ(generator.state(), (Generator::State{0xF95E7740u, 0x0F941B35u, 0x00F8BD1Fu, 0x2223C08Du}));
  EXPECT_EQ(generator.next_output(), 3370730463u);
  EXPECT_EQ(generator.next_output(), 2920125618u);
  EXPECT_EQ(generator.next_output(), 3040787070u);

  init_random_seed(generator, 123456);
  EXPECT_NEAR(generator.uniform_deviate(), 0.78480934328, 1e-11);
  EXPECT_NEAR(generator.uniform_deviate(), 0.67989472718, 1e-11);
  EXPECT_NEAR(generator.uniform_deviate(), 0.70798841072, 1e-11);
}

TEST(Generator, LargestTickCountWrapsTheSeedWords) {
  Generator generator;
  init_random_seed(generator, 2147483647);
  EXPECT_EQ(generator.state().x, 0x86A06AFFu);
  // The later words wrapped past 2^31 - 1: -2147483612, -2147483575, -2147483538.
  EXPECT_EQ(generator.state().y, static_cast<std::uint32_t>(-2147483612) ^ 0x0F95F950u);
  EXPECT_EQ(generator.state().z, static_cast<std::uint32_t>(-2147483575) ^ 0x00F95F95u);
  EXPECT_EQ(generator.state().w, static_cast<std::uint32_t>(-2147483538) ^ 0x22222222u);
}

TEST(Generator, SameTickCountGivesTheSameStream) {
  Generator first;
  Generator second;
  init_random_seed(first, 987654321);
  init_random_seed(second, 987654321);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(first.next_output(), second.next_output());
  }
}

TEST(Generator, MultiplicativeWordIsCutTo32BitsBeforeTheReduction) {
  Generator generator(Generator::State{1, 2, 3, 255553});
  generator.next_output();
  EXPECT_EQ(generator.state().w, 111975u);

  for (const std::uint32_t w : {868985321u, 1737970642u}) {
    Generator stuck(Generator::State{0x12345678u, 0x9abcdefu, 0x13579bdu, w});
    stuck.next_output();
    EXPECT_EQ(stuck.state().w, 0u);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(stuck.next_output(), stuck.state().z);
      EXPECT_EQ(stuck.state().w, 0u);
    }
  }
}

// The reference reduces the multiplicative word with a division; the generator without one.
TEST(Generator, MatchesTheReferenceSeedingAndStepOverLongStreams) {
  for (const std::int32_t ticks : {0, 1, 123456, 2147483600, 2147483647}) {
    Generator generator;
    init_random_seed(generator, ticks);
    reference::Generator expected;
    reference::init_random_seed(expected, ticks);
    ASSERT_EQ(generator.state(), reference::program_state(expected)) << "ticks " << ticks;
    for (int i = 0; i < 200000; ++i) {
      ASSERT_EQ(generator.next_output(), reference::next_output(expected))
          << "ticks " << ticks << " step " << i;
    }
  }
  // Every kind of cut product: below, at and above the prime, twice the prime and one
  // more (w = 868985321, 1737970642 and 3016468969 give exactly those products).
  for (const std::uint32_t w : {0u, 1u, 2147483646u, 2147483647u, 2147483648u, 4294967295u,
                                868985321u, 1737970642u, 3016468969u}) {
    Generator generator(Generator::State{5, 6, 7, w});
    reference::Generator expected{5, 6, 7, w};
    for (int step = 0; step < 3; ++step) {
      EXPECT_EQ(generator.next_output(), reference::next_output(expected)) << w;
      EXPECT_EQ(generator.state(), reference::program_state(expected)) << w;
    }
  }
}

TEST(Generator, NextIndexIsTheExactTruncatedProduct) {
  Generator generator;
  init_random_seed(generator, 42);
  Generator copy = generator;
  for (int i = 0; i < 100000; ++i) {
    const auto n = static_cast<std::uint32_t>(1 + (copy.next_output() % 2147483647u));
    generator.next_output();
    const std::uint32_t k = copy.next_output();
    const long double exact = static_cast<long double>(n) * (static_cast<long double>(k) * 0x1p-32L);
    ASSERT_EQ(generator.next_index(n), static_cast<std::uint32_t>(exact));
    ASSERT_LT(static_cast<std::uint32_t>(exact), n);
  }
}

TEST(EventThreshold, AgreesWithTheDeviateComparison) {
  Generator generator;
  init_random_seed(generator, 7);
  const double probabilities[] = {-1.0, -0.0, 0.0, 1e-300, 0x1p-32, 0x1p-33, 0.005, 0.3,
                                  0.5, 1.0 - 0x1p-32, 1.0, 2.0, NAN};
  for (const double p : probabilities) {
    const EventThreshold threshold(p);
    const std::uint32_t outputs[] = {0u, 1u, 2u, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (const std::uint32_t k : outputs) {
      EXPECT_EQ(threshold.happens(k), static_cast<double>(k) * 0x1p-32 <= p) << p << " " << k;
    }
    for (int i = 0; i < 10000; ++i) {
      const std::uint32_t k = generator.next_output();
      ASSERT_EQ(threshold.happens(k), static_cast<double>(k) * 0x1p-32 <= p) << p << " " << k;
    }
  }
  // A probability that lies on a deviate passes exactly at that deviate.
  const EventThreshold on_grid(3 * 0x1p-32);
  EXPECT_TRUE(on_grid.happens(3));
  EXPECT_FALSE(on_grid.happens(4));
}

}  // namespace
}  // namespace parasim::random

namespace parasim::random {
namespace {

TEST(Seeding, TickCountIsTheClockIn100MicrosecondTicks) {
  const auto now_ticks = [] {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count() / 100 %
           (std::int64_t{1} << 31);
  };
  const std::int64_t before = now_ticks();
  const std::int32_t ticks = tick_count();
  const std::int64_t after = now_ticks();
  // Ticks of 100 microseconds, modulo 2^31 (the count wraps every 2.5 days).
  EXPECT_TRUE((before <= ticks && ticks <= after) || after < before) << ticks;
}

}  // namespace
}  // namespace parasim::random
