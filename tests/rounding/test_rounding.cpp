#include "rounding/rounding.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace parasim::rounding {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(Nint, HalvesAndNearHalves) {
  EXPECT_EQ(nint(2.5), 3);
  EXPECT_EQ(nint(-2.5), -3);
  EXPECT_EQ(nint(-0.5), -1);
  EXPECT_EQ(nint(0.49999999999999994), 0);
  EXPECT_EQ(nint(-0.49999999999999994), 0);
}

TEST(Nint, OrdinaryValues) {
  EXPECT_EQ(nint(0.0), 0);
  EXPECT_EQ(nint(-0.0), 0);
  EXPECT_EQ(nint(0.5), 1);
  EXPECT_EQ(nint(1.4999999999999998), 1);
  EXPECT_EQ(nint(1.5), 2);
  EXPECT_EQ(nint(3.0), 3);
  EXPECT_EQ(nint(2.9999999999999996), 3);
  EXPECT_EQ(nint(4503599627370495.5), kMax);  // saturates
  EXPECT_EQ(nint(1e-300), 0);
}

TEST(Nint, EdgesOfTheThirtyTwoBitRange) {
  EXPECT_EQ(nint(2147483647.0), kMax);
  EXPECT_EQ(nint(2147483647.4999998), kMax);
  EXPECT_EQ(nint(2147483647.5), kMax);
  EXPECT_EQ(nint(2147483648.0), kMax);
  EXPECT_EQ(nint(1e300), kMax);
  EXPECT_EQ(nint(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(nint(-2147483648.0), kMin);
  EXPECT_EQ(nint(-2147483648.4999998), kMin);
  EXPECT_EQ(nint(-2147483647.5), kMin);
  EXPECT_EQ(nint(-2147483646.5), -2147483647);
  EXPECT_EQ(nint(-1e300), kMin);
  EXPECT_EQ(nint(-std::numeric_limits<double>::infinity()), kMin);
  EXPECT_EQ(nint(std::nan("")), 0);
}

TEST(Nint, SinglePrecision) {
  EXPECT_EQ(nint(2.5f), 3);
  EXPECT_EQ(nint(-2.5f), -3);
  EXPECT_EQ(nint(0.49999997f), 0);
  EXPECT_EQ(nint(16777215.0f), 16777215);
  EXPECT_EQ(nint(16777216.0f), 16777216);
  EXPECT_EQ(nint(3e9f), kMax);
  EXPECT_EQ(nint(-3e9f), kMin);
  EXPECT_EQ(nint(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(Nint, AgreesWithLroundInRange) {
  std::mt19937_64 random(5);
  for (int i = 0; i < 200000; ++i) {
    double value;
    if (i % 2 == 0) {
      value = (static_cast<double>(random() % 4294967296ULL) - 2147483648.0) +
              static_cast<double>(random() % 4) * 0.25;
    } else {
      value = std::ldexp(static_cast<double>(random() >> 11) - std::ldexp(1.0, 52),
                         static_cast<int>(random() % 60) - 60);
    }
    if (value >= 2147483647.5 || value <= -2147483648.5) continue;
    ASSERT_EQ(nint(value), std::lround(value)) << std::hexfloat << value;
    const float single = static_cast<float>(value);
    if (single < 2147483647.5f && single > -2147483648.5f) {
      ASSERT_EQ(nint(single), std::lround(single)) << std::hexfloat << single;
    }
  }
}

TEST(IntTrunc, TruncatesTowardZero) {
  EXPECT_EQ(int_trunc(2.9), 2);
  EXPECT_EQ(int_trunc(-2.9), -2);
  EXPECT_EQ(int_trunc(-0.7), 0);
}

TEST(IntTrunc, OrdinaryValuesAndLimits) {
  EXPECT_EQ(int_trunc(0.0L), 0);
  EXPECT_EQ(int_trunc(-0.0L), 0);
  EXPECT_EQ(int_trunc(0.9999999999999999999L), 0);
  EXPECT_EQ(int_trunc(1.0L), 1);
  EXPECT_EQ(int_trunc(2147483647.999L), kMax);
  EXPECT_EQ(int_trunc(2147483648.0L), kMax);
  EXPECT_EQ(int_trunc(1e4000L), kMax);
  EXPECT_EQ(int_trunc(-2147483648.999L), kMin);
  EXPECT_EQ(int_trunc(-2147483649.0L), kMin);
  EXPECT_EQ(int_trunc(-1e4000L), kMin);
  EXPECT_EQ(int_trunc(std::numeric_limits<long double>::infinity()), kMax);
  EXPECT_EQ(int_trunc(-std::numeric_limits<long double>::infinity()), kMin);
  EXPECT_EQ(int_trunc(std::nanl("")), 0);
}

TEST(IntTrunc, ExactProductsOfTheRandomChoice) {
  // INT(n * u) with a 64-bit significand: n < 2^31 and u = k / 2^32 multiply exactly.
  std::mt19937_64 random(11);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t n = random() % 2147483647 + 1;
    const std::uint64_t k = random() & 0xffffffffULL;
    const long double u = static_cast<long double>(k) / 4294967296.0L;
    const long double product = static_cast<long double>(n) * u;
    ASSERT_EQ(int_trunc(product), static_cast<std::int32_t>((n * k) >> 32)) << n << " " << k;
  }
}

}  // namespace
}  // namespace parasim::rounding
