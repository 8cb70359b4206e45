#include "textio/fixed_fields.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "textio/exact_decimal.hpp"

namespace parasim::textio {
namespace {

using testing::reference_real_field;

std::string integer_field(std::int64_t value, int width) {
  std::string out;
  append_integer_field(out, value, width);
  return out;
}

std::string real_field(double value, int width = 15, int decimals = 4) {
  std::string out;
  append_real_field(out, value, width, decimals);
  return out;
}

// The C library's exact expansion (glibc rounds the exact binary value, halves
// to even), with the sign and the asterisks of Fw.d added here.
std::string printf_real_field(double value, int width, int decimals) {
  std::string text;
  if (std::isnan(value)) {
    text = "NaN";
  } else if (std::isinf(value)) {
    text = value < 0 ? "-Infinity" : "Infinity";
  } else {
    char digits[512];  // up to 309 integer digits, the point and 25 decimals
    std::snprintf(digits, sizeof digits, "%.*f", decimals, std::fabs(value));
    text = std::string(std::signbit(value) ? "-" : "") + digits;
    if (decimals == 0) text += '.';  // Fw.0 keeps its point; %.0f drops it
  }
  if (text.size() > static_cast<std::size_t>(width)) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// ---- Iw

TEST(IntegerField, RightAlignedOrAsterisks) {
  EXPECT_EQ(integer_field(0, 8), "       0");
  EXPECT_EQ(integer_field(-5, 8), "      -5");
  EXPECT_EQ(integer_field(123456789, 8), "********");
}

TEST(IntegerField, Limits) {
  EXPECT_EQ(integer_field(99999999, 8), "99999999");
  EXPECT_EQ(integer_field(-9999999, 8), "-9999999");
  EXPECT_EQ(integer_field(-10000000, 8), "********");
  EXPECT_EQ(integer_field(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
  EXPECT_EQ(integer_field(std::numeric_limits<std::int64_t>::min(), 19), "*******************");
  EXPECT_EQ(integer_field(std::numeric_limits<std::int64_t>::max(), 25),
            "      9223372036854775807");
  EXPECT_EQ(integer_field(7, 1), "7");
  EXPECT_EQ(integer_field(-7, 1), "*");
  EXPECT_EQ(integer_field(7, 0), "");
  EXPECT_EQ(integer_field(7, -3), "");
  EXPECT_EQ(integer_field(42, 40), std::string(38, ' ') + "42");
}

TEST(IntegerField, MatchesPrintfForManyValues) {
  std::mt19937_64 random(12345);
  for (int i = 0; i < 100000; ++i) {
    const auto value = static_cast<std::int64_t>(random()) >> (random() % 64);
    const int width = static_cast<int>(random() % 22) + 1;
    char text[32];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    const std::string expected = std::strlen(text) > static_cast<std::size_t>(width)
                                     ? std::string(static_cast<std::size_t>(width), '*')
                                     : std::string(width - std::strlen(text), ' ') + text;
    ASSERT_EQ(integer_field(value, width), expected) << value << " width " << width;
  }
}

TEST(IntegerField, AppendsAfterExistingText) {
  std::string out = "ab";
  append_integer_field(out, 12, 4);
  EXPECT_EQ(out, "ab  12");
  char buffer[6] = {'#', '#', '#', '#', '#', '#'};
  format_integer_field(buffer, -3, 5);
  EXPECT_EQ(std::string(buffer, 6), "   -3#");
}

// ---- Fw.d: rounding, signs and widths of the record format

TEST(RealField, RoundsFromTheExactValueCarriesAndOverflows) {
  EXPECT_EQ(real_field(0.5), "         0.5000");
  EXPECT_EQ(real_field(-0.00001), "        -0.0000");
  EXPECT_EQ(real_field(0.03125), "         0.0312");
  EXPECT_EQ(real_field(0.09375), "         0.0938");
  EXPECT_EQ(real_field(2.00005), "         2.0000");
  EXPECT_EQ(real_field(0.12345), "         0.1235");
  EXPECT_EQ(real_field(999.99996), "      1000.0000");
  EXPECT_EQ(real_field(9999999999.9999), "9999999999.9999");
  EXPECT_EQ(real_field(12345678901.0), "***************");
  EXPECT_EQ(real_field(-1234567890.0), "***************");
}

TEST(RealField, SignOfZeroAndOfValuesRoundingToZero) {
  EXPECT_EQ(real_field(0.0), "         0.0000");
  EXPECT_EQ(real_field(-0.0), "        -0.0000");
  EXPECT_EQ(real_field(-0.00005), "        -0.0001");  // just above the half as a double
  EXPECT_EQ(real_field(-std::numeric_limits<double>::denorm_min()), "        -0.0000");
  EXPECT_EQ(real_field(std::numeric_limits<double>::denorm_min()), "         0.0000");
  EXPECT_EQ(real_field(-0.000049999), "        -0.0000");
  EXPECT_EQ(real_field(std::numeric_limits<double>::min()), "         0.0000");
}

TEST(RealField, ExactHalvesGoToTheEvenDigit) {
  EXPECT_EQ(real_field(0.15625), "         0.1562");   // 5/32
  EXPECT_EQ(real_field(0.21875), "         0.2188");   // 7/32
  EXPECT_EQ(real_field(-0.03125), "        -0.0312");
  EXPECT_EQ(real_field(1.00005), "         1.0001");   // not a half: just above as a double
  // Every odd multiple of 1/32 is an exact half at four decimals: k * 312.5.
  std::mt19937_64 random(99);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t odd = (random() >> (random() % 30 + 12)) | 1;  // up to 2^52
    const double value = static_cast<double>(odd) / 32.0;
    const std::uint64_t times_625 = odd * 625;  // value * 10^4 = times_625 / 2
    std::uint64_t n = times_625 / 2;
    if (n % 2 == 1) ++n;  // the half goes to the even neighbour
    char expected_text[40];
    std::snprintf(expected_text, sizeof expected_text, "%llu.%04llu",
                  static_cast<unsigned long long>(n / 10000), static_cast<unsigned long long>(n % 10000));
    std::string expected = expected_text;
    expected = expected.size() > 15 ? std::string(15, '*') : std::string(15 - expected.size(), ' ') + expected;
    ASSERT_EQ(real_field(value), expected) << odd;
  }
}

TEST(RealField, CarryLengthensTheIntegerPart) {
  EXPECT_EQ(real_field(9.99995), "        10.0000");
  EXPECT_EQ(real_field(-999.99996), "     -1000.0000");
  EXPECT_EQ(real_field(0.99999), "         1.0000");
  EXPECT_EQ(real_field(0.99994), "         0.9999");
}

TEST(RealField, WidthLimits) {
  // Ten integer digits for positive values, nine for negative ones.
  EXPECT_EQ(real_field(9999999999.0), "9999999999.0000");
  EXPECT_EQ(real_field(10000000000.0), "***************");
  EXPECT_EQ(real_field(-999999999.0), "-999999999.0000");
  EXPECT_EQ(real_field(-1000000000.0), "***************");
  EXPECT_EQ(real_field(9999999999.99999), "***************");  // rounds to 10^10
  EXPECT_EQ(real_field(1e300), "***************");
  EXPECT_EQ(real_field(-std::numeric_limits<double>::max()), "***************");
  EXPECT_EQ(real_field(0.5, 6, 4), "0.5000");
  EXPECT_EQ(real_field(0.5, 5, 4), "*****");
  EXPECT_EQ(real_field(-0.5, 6, 4), "******");
  EXPECT_EQ(real_field(3.7, 2, 0), "4.");
  EXPECT_EQ(real_field(2.5, 2, 0), "2.");
  EXPECT_EQ(real_field(-0.4, 3, 0), "-0.");
  EXPECT_EQ(real_field(1.0, 0, 4), "");
}

TEST(RealField, InfinityAndNotANumber) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(real_field(inf), "       Infinity");
  EXPECT_EQ(real_field(-inf), "      -Infinity");
  EXPECT_EQ(real_field(std::nan("")), "            NaN");
  EXPECT_EQ(real_field(-std::nan("")), "            NaN");
  EXPECT_EQ(real_field(inf, 8, 4), "Infinity");
  EXPECT_EQ(real_field(-inf, 8, 4), "********");
  EXPECT_EQ(real_field(std::nan(""), 2, 0), "**");
}

TEST(RealField, WideFieldsAndManyDecimals) {
  EXPECT_EQ(real_field(0.1, 30, 25), "   0.1000000000000000055511151");
  EXPECT_EQ(real_field(1e300, 310, 4).substr(4, 10), "1000000000");
  EXPECT_EQ(real_field(-0.0, 50, 30), std::string(17, ' ') + "-0." + std::string(30, '0'));
  EXPECT_EQ(real_field(std::numeric_limits<double>::denorm_min(), 1100, 1074).substr(1100 - 3),
            "625");
}

TEST(RealField, GlibcPrintfIsAnExactReference) {
  // The property test below leans on it: glibc expands the exact binary value.
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", 0.03125);
  EXPECT_STREQ(text, "0.0312");
  std::snprintf(text, sizeof text, "%.4f", 0.09375);
  EXPECT_STREQ(text, "0.0938");
  std::snprintf(text, sizeof text, "%.4f", 2.00005);
  EXPECT_STREQ(text, "2.0000");
}

// Random doubles spread over many magnitudes: raw bit patterns, values of
// uniformly random binary exponent, values close to 10^k and near halves.
double random_double(std::mt19937_64& random) {
  switch (random() % 6) {
    case 0: {
      std::uint64_t bits = random();
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case 1: {
      const int exponent = static_cast<int>(random() % 100) - 60;
      const double mantissa = std::ldexp(static_cast<double>(random() >> 11), -53);
      return (random() & 1 ? -1 : 1) * std::ldexp(mantissa, exponent);
    }
    case 2: {
      const int k = static_cast<int>(random() % 16) - 5;
      double value = std::pow(10.0, k);
      const int steps = static_cast<int>(random() % 9) - 4;
      for (int i = 0; i < std::abs(steps); ++i) value = std::nextafter(value, steps < 0 ? 0.0 : 1e300);
      return random() & 1 ? -value : value;
    }
    case 3: {
      // n + 0.00005 * odd: near a half at four decimals.
      const double base = static_cast<double>(random() % 100000000) * 1e-4;
      double value = base + 0.00005;
      const int steps = static_cast<int>(random() % 5) - 2;
      for (int i = 0; i < std::abs(steps); ++i) value = std::nextafter(value, steps < 0 ? 0.0 : 1e300);
      return random() & 1 ? -value : value;
    }
    case 4: {
      const double value = static_cast<double>(random() % 20000000000ULL) / 1e4;
      return random() & 1 ? -value : value;
    }
    default: {
      const int exponent = static_cast<int>(random() % 2098) - 1074;
      return std::ldexp(static_cast<double>(random() >> 11), exponent - 53);
    }
  }
}

TEST(RealField, F15_4MatchesTheExactReferenceOverRandomDoubles) {
  std::mt19937_64 random(20240601);
  for (int i = 0; i < 200000; ++i) {
    const double value = random_double(random);
    ASSERT_EQ(real_field(value), printf_real_field(value, 15, 4)) << std::hexfloat << value;
  }
}

TEST(RealField, BigDecimalReferenceAgreesOnRandomDoubles) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const double value = random_double(random);
    ASSERT_EQ(real_field(value), reference_real_field(value, 15, 4)) << std::hexfloat << value;
  }
}

TEST(RealField, OtherWidthsAndDecimalsMatchTheReferences) {
  std::mt19937_64 random(31337);
  for (int i = 0; i < 100000; ++i) {
    const double value = random_double(random);
    const int width = static_cast<int>(random() % 45) + 1;
    const int decimals = static_cast<int>(random() % 26);
    ASSERT_EQ(real_field(value, width, decimals), printf_real_field(value, width, decimals))
        << std::hexfloat << value << " F" << width << "." << decimals;
  }
  for (int i = 0; i < 5000; ++i) {
    const double value = random_double(random);
    const int width = static_cast<int>(random() % 45) + 1;
    const int decimals = static_cast<int>(random() % 26);
    ASSERT_EQ(real_field(value, width, decimals), reference_real_field(value, width, decimals))
        << std::hexfloat << value << " F" << width << "." << decimals;
  }
}

}  // namespace
}  // namespace parasim::textio
