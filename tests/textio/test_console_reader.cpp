#include "textio/console_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "textio/exact_decimal.hpp"
#include "textio/generated_input.hpp"

namespace parasim::textio {
namespace {

using testing::GeneratedInput;
using namespace std::string_literals;

const char* failure_name(ReadFailure failure) {
  switch (failure) {
    case ReadFailure::end_of_file:
      return "end of file";
    case ReadFailure::bad_integer:
      return "bad integer";
    case ReadFailure::integer_overflow:
      return "integer overflow";
    case ReadFailure::bad_real:
      return "bad real";
  }
  return "?";
}

// Expectation helpers: the value or the failure of one read.
::testing::AssertionResult is_integer(const ReadResult<std::int32_t>& result, std::int32_t expected) {
  if (!result.value) {
    return ::testing::AssertionFailure() << "failed: " << failure_name(result.failure);
  }
  if (*result.value != expected) return ::testing::AssertionFailure() << "read " << *result.value;
  return ::testing::AssertionSuccess();
}

bool same_double(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

::testing::AssertionResult is_real(const ReadResult<double>& result, double expected) {
  if (!result.value) {
    return ::testing::AssertionFailure() << "failed: " << failure_name(result.failure);
  }
  if (!same_double(*result.value, expected)) {
    return ::testing::AssertionFailure() << std::hexfloat << "read " << *result.value << " expected "
                                         << expected;
  }
  return ::testing::AssertionSuccess();
}

template <typename T>
::testing::AssertionResult is_failure(const ReadResult<T>& result, ReadFailure expected) {
  if (result.value) return ::testing::AssertionFailure() << "read a value: " << *result.value;
  if (result.failure != expected) {
    return ::testing::AssertionFailure() << "failed with " << failure_name(result.failure);
  }
  return ::testing::AssertionSuccess();
}

ReadResult<std::int32_t> integer_of(const std::string& text) {
  std::istringstream in(text);
  return ConsoleReader(in).read_integer();
}

ReadResult<double> real_of(const std::string& text) {
  std::istringstream in(text);
  return ConsoleReader(in).read_real();
}

std::string rest_of(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- the reading rules

TEST(ConsoleReader, IntegerSurroundedByBlanks) { EXPECT_TRUE(is_integer(integer_of("  42  \n"), 42)); }

TEST(ConsoleReader, EmptyLinesAreSkipped) { EXPECT_TRUE(is_integer(integer_of("\n\n7\n"), 7)); }

TEST(ConsoleReader, RestOfTheLineIsDiscarded) {
  std::istringstream in("3 4\n5\n");
  ConsoleReader reader(in);
  EXPECT_TRUE(is_integer(reader.read_integer(), 3));
  EXPECT_EQ(rest_of(in), "5\n");
  in.clear();
  in.str("3 4\n5\n");
  EXPECT_TRUE(is_integer(reader.read_integer(), 3));
  EXPECT_TRUE(is_integer(reader.read_integer(), 5));
  EXPECT_TRUE(is_failure(reader.read_integer(), ReadFailure::end_of_file));
}

TEST(ConsoleReader, RealIntoIntegerIsBadInteger) {
  EXPECT_TRUE(is_failure(integer_of("12.5\n"), ReadFailure::bad_integer));
}

TEST(ConsoleReader, DExponent) { EXPECT_TRUE(is_real(real_of("1d-3\n"), 0.001)); }

TEST(ConsoleReader, ExponentWithoutDigitsIsBadReal) {
  EXPECT_TRUE(is_failure(real_of("2e\n"), ReadFailure::bad_real));
}

TEST(ConsoleReader, CommaEndsTheValue) {
  std::istringstream in("0,5\n0.25\n");
  ConsoleReader reader(in);
  EXPECT_TRUE(is_real(reader.read_real(), 0.0));
  EXPECT_TRUE(is_real(reader.read_real(), 0.25));
}

TEST(ConsoleReader, IntegerRange) {
  EXPECT_TRUE(is_integer(integer_of("2147483647\n"), 2147483647));
  EXPECT_TRUE(is_integer(integer_of("-2147483647\n"), -2147483647));
  EXPECT_TRUE(is_failure(integer_of("2147483648\n"), ReadFailure::integer_overflow));
  EXPECT_TRUE(is_failure(integer_of("-2147483648\n"), ReadFailure::integer_overflow));
  EXPECT_TRUE(is_failure(integer_of("99999999999999999999999999\n"), ReadFailure::integer_overflow));
  EXPECT_TRUE(is_integer(integer_of("0000000000000000000000002147483647\n"), 2147483647));
}

TEST(ConsoleReader, InputEndingBeforeAValue) {
  EXPECT_TRUE(is_failure(integer_of(""), ReadFailure::end_of_file));
  EXPECT_TRUE(is_failure(real_of(""), ReadFailure::end_of_file));
  EXPECT_TRUE(is_failure(integer_of(" \t\r\n\n   \r\n"), ReadFailure::end_of_file));
  std::istringstream in("1\n2.5\n");
  ConsoleReader reader(in);
  EXPECT_TRUE(is_integer(reader.read_integer(), 1));
  EXPECT_TRUE(is_real(reader.read_real(), 2.5));
  EXPECT_TRUE(is_failure(reader.read_real(), ReadFailure::end_of_file));
}

TEST(ConsoleReader, CrLfLineEnds) {
  std::istringstream in("42\r\n\r\n0.5\r\n-3\r\n1e2");
  ConsoleReader reader(in);
  EXPECT_TRUE(is_integer(reader.read_integer(), 42));
  EXPECT_TRUE(is_real(reader.read_real(), 0.5));
  EXPECT_TRUE(is_integer(reader.read_integer(), -3));
  EXPECT_TRUE(is_real(reader.read_real(), 100.0));
  EXPECT_TRUE(is_failure(reader.read_integer(), ReadFailure::end_of_file));
}

TEST(ConsoleReader, EveryReadLeavesTheStreamAtTheStartOfALine) {
  std::istringstream in("  7 , junk / more\r\nnext\n");
  EXPECT_TRUE(is_integer(ConsoleReader(in).read_integer(), 7));
  EXPECT_EQ(rest_of(in), "next\n");
  std::istringstream bad("x7 junk\nnext\n");
  EXPECT_TRUE(is_failure(ConsoleReader(bad).read_integer(), ReadFailure::bad_integer));
  EXPECT_EQ(rest_of(bad), "next\n");
  std::istringstream at_lf("7\nnext\n");
  EXPECT_TRUE(is_integer(ConsoleReader(at_lf).read_integer(), 7));
  EXPECT_EQ(rest_of(at_lf), "next\n");
}

// ---- integer syntax

TEST(ConsoleReader, IntegerSyntax) {
  EXPECT_TRUE(is_integer(integer_of("+5"), 5));
  EXPECT_TRUE(is_integer(integer_of("-0"), 0));
  EXPECT_TRUE(is_integer(integer_of("\t-12\t"), -12));
  EXPECT_TRUE(is_integer(integer_of("8/"), 8));
  EXPECT_TRUE(is_integer(integer_of("8,9"), 8));
  EXPECT_TRUE(is_integer(integer_of("8\r9"), 8));
  for (const char* text : {"+", "-", "+-1", "1+", "1e3", "1.", "1.0", "0x10", "2*9", "a", "Inf", "NaN",
                           ",5", "/", ",", "- 1", "12a", "١"}) {
    EXPECT_TRUE(is_failure(integer_of(text), ReadFailure::bad_integer)) << text;
  }
}

TEST(ConsoleReader, IntegerSyntaxIsCheckedBeforeTheRange) {
  EXPECT_TRUE(is_failure(integer_of("99999999999x"), ReadFailure::bad_integer));
  EXPECT_TRUE(is_failure(integer_of("-99999999999.0"), ReadFailure::bad_integer));
}

// ---- real syntax

TEST(ConsoleReader, RealForms) {
  EXPECT_TRUE(is_real(real_of("5"), 5.0));
  EXPECT_TRUE(is_real(real_of("5."), 5.0));
  EXPECT_TRUE(is_real(real_of(".5"), 0.5));
  EXPECT_TRUE(is_real(real_of("-0.25"), -0.25));
  EXPECT_TRUE(is_real(real_of("+0.25"), 0.25));
  EXPECT_TRUE(is_real(real_of("1.5-3"), 0.0015));
  EXPECT_TRUE(is_real(real_of("1.5+3"), 1500.0));
  EXPECT_TRUE(is_real(real_of("5.-1"), 0.5));
  EXPECT_TRUE(is_real(real_of("1E5"), 1e5));
  EXPECT_TRUE(is_real(real_of("1e+5"), 1e5));
  EXPECT_TRUE(is_real(real_of("1D5"), 1e5));
  EXPECT_TRUE(is_real(real_of("1d-5"), 1e-5));
  EXPECT_TRUE(is_real(real_of("-.5e-0"), -0.5));
  EXPECT_TRUE(is_real(real_of("0.1"), 0.1));
  EXPECT_TRUE(is_real(real_of("000123.4500"), 123.45));
  EXPECT_TRUE(is_real(real_of("0.000000000000000000000000000001"), 1e-30));
  EXPECT_TRUE(is_real(real_of("1e0000000000000000000000000000000003"), 1000.0));
  EXPECT_TRUE(is_real(real_of("2.5/"), 2.5));
  EXPECT_TRUE(is_real(real_of("7"), 7.0));
}

TEST(ConsoleReader, SignedZeros) {
  EXPECT_TRUE(is_real(real_of("0"), 0.0));
  EXPECT_TRUE(is_real(real_of("-0"), -0.0));
  EXPECT_TRUE(is_real(real_of("-0.000e99999999999999999999"), -0.0));
  EXPECT_TRUE(is_real(real_of("-1e-400"), -0.0));
  EXPECT_TRUE(is_real(real_of("1e-99999999999999999999999"), 0.0));
}

TEST(ConsoleReader, RealSyntaxErrors) {
  for (const char* text : {".", "-", "+", "-.", "e5", ".e5", "+e5", "1.5e", "1.5e+", "1.5-", "1..5", "1.5.",
                           "1e5.0", "1e5e5", "1e+-5", "1x", "Inf", "-Infinity", "NaN", "nan", "0x1p3",
                           "2*9", ",5", "/", "1e 5", "--1", "+-1", "\x01"}) {
    EXPECT_TRUE(is_failure(real_of(text), ReadFailure::bad_real)) << text;
  }
  EXPECT_TRUE(is_real(real_of("1,5e"), 1.0));  // the item is "1"
}

TEST(ConsoleReader, RealRangeLimits) {
  const double max = std::numeric_limits<double>::max();
  const double tiny = std::numeric_limits<double>::denorm_min();
  EXPECT_TRUE(is_real(real_of("1.7976931348623157e308"), max));
  EXPECT_TRUE(is_real(real_of("1.7976931348623158e308"), max));  // below the half to 2^1024
  EXPECT_TRUE(is_failure(real_of("1.7976931348623159e308"), ReadFailure::bad_real));
  EXPECT_TRUE(is_failure(real_of("1e309"), ReadFailure::bad_real));
  EXPECT_TRUE(is_failure(real_of("-1e400"), ReadFailure::bad_real));
  EXPECT_TRUE(is_failure(real_of("1e99999999999999999999999"), ReadFailure::bad_real));
  EXPECT_TRUE(is_real(real_of("4.9406564584124654e-324"), tiny));
  EXPECT_TRUE(is_real(real_of("2.4703282292062328e-324"), tiny));  // just above half of it
  EXPECT_TRUE(is_real(real_of("2.4703282292062327e-324"), 0.0));   // just below
  EXPECT_TRUE(is_real(real_of("-2.4703282292062327e-324"), -0.0));
  EXPECT_TRUE(is_real(real_of("2.2250738585072014e-308"), std::numeric_limits<double>::min()));
  EXPECT_TRUE(is_real(real_of("1e-320"), 1e-320));
}

TEST(ConsoleReader, RealsRoundTripThroughSeventeenDigits) {
  std::mt19937_64 random(2024);
  for (int i = 0; i < 50000; ++i) {
    std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    char text[40];
    std::snprintf(text, sizeof text, i % 2 ? "%.17g" : "%.17e", value);
    ASSERT_TRUE(is_real(real_of(text), value)) << text;
  }
}

TEST(ConsoleReader, ShortRealsAgreeWithStrtod) {
  std::mt19937_64 random(77);
  const char alphabet[] = "0123456789";
  for (int i = 0; i < 50000; ++i) {
    std::string mantissa;
    const int digits = static_cast<int>(random() % 25) + 1;
    for (int d = 0; d < digits; ++d) mantissa += alphabet[random() % 10];
    const auto point = random() % (mantissa.size() + 1);
    mantissa = mantissa.substr(0, point) + "." + mantissa.substr(point);
    const int exponent = static_cast<int>(random() % 700) - 350;
    const std::string text = (random() & 1 ? "-" : "") + mantissa + "e" + std::to_string(exponent);
    const double expected = std::strtod(text.c_str(), nullptr);
    if (std::isinf(expected)) {
      ASSERT_TRUE(is_failure(real_of(text), ReadFailure::bad_real)) << text;
    } else {
      ASSERT_TRUE(is_real(real_of(text), expected)) << text;
    }
  }
}

// ---- halfway cases that need many digits

// The exact decimal text of the point halfway between value and the next double up.
std::string halfway_above(double value) {
  // value + ulp/2 is exactly representable as a long double only sometimes, so
  // use the exact expansions: (a + b) / 2 with a, b adjacent doubles.
  const double next = std::nextafter(value, std::numeric_limits<double>::infinity());
  const testing::ExactDecimal a = testing::exact_decimal(value);
  const testing::ExactDecimal b = testing::exact_decimal(next);
  const std::size_t fraction_length = std::max(a.fraction_digits.size(), b.fraction_digits.size()) + 1;
  auto digits_of = [&](const testing::ExactDecimal& x) {
    std::string fraction = x.fraction_digits;
    fraction.append(fraction_length - fraction.size(), '0');
    return x.integer_digits + fraction;
  };
  std::string sa = digits_of(a);
  std::string sb = digits_of(b);
  const std::size_t length = std::max(sa.size(), sb.size()) + 1;
  sa.insert(0, length - sa.size(), '0');
  sb.insert(0, length - sb.size(), '0');
  // sum, then halve
  std::string sum(length, '0');
  int carry = 0;
  for (std::size_t i = length; i-- > 0;) {
    const int s = (sa[i] - '0') + (sb[i] - '0') + carry;
    sum[i] = static_cast<char>('0' + s % 10);
    carry = s / 10;
  }
  std::string half(length, '0');
  int remainder = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const int current = remainder * 10 + (sum[i] - '0');
    half[i] = static_cast<char>('0' + current / 2);
    remainder = current % 2;
  }
  EXPECT_EQ(remainder, 0);
  const std::size_t integer_length = length - fraction_length;
  std::string integer = half.substr(0, integer_length);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size() - 1));
  std::string fraction = half.substr(integer_length);
  fraction.erase(fraction.find_last_not_of('0') + 1);
  return integer + "." + fraction;
}

std::size_t significant_digits(const std::string& decimal) {
  std::string digits;
  for (char c : decimal) {
    if (c != '.') digits += c;
  }
  const std::size_t first = digits.find_first_not_of('0');
  const std::size_t last = digits.find_last_not_of('0');
  return last - first + 1;
}

TEST(ConsoleReader, ExactHalvesWithHundredsOfDigitsGoToEven) {
  const double cases[] = {
      std::numeric_limits<double>::min(),                           // 2^-1022: 767-digit halves
      std::nextafter(std::numeric_limits<double>::min(), 1.0),      // odd neighbour
      std::numeric_limits<double>::denorm_min(),
      3 * std::numeric_limits<double>::denorm_min(),
      std::ldexp(1.0, -1000) * 1.5,
      std::ldexp(1.0, -900) + std::ldexp(1.0, -952),
      1.0,
      std::nextafter(1.0, 2.0),
      0.1,
  };
  for (double low : cases) {
    const double high = std::nextafter(low, 1e300);
    const double even = (std::bit_cast<std::uint64_t>(low) & 1) == 0 ? low : high;
    const std::string half = halfway_above(low);
    SCOPED_TRACE(half.substr(0, 40) + "... (" + std::to_string(significant_digits(half)) + " digits)");
    EXPECT_TRUE(is_real(real_of(half), even));
    // Just above: a nonzero digit far beyond the kept digits.
    EXPECT_TRUE(is_real(real_of(half + std::string(1000, '0') + "1"), high));
    EXPECT_TRUE(is_real(real_of(half + std::string(100000, '0') + "1e0"), high));
    // Exactly half, with a long tail of zeros.
    EXPECT_TRUE(is_real(real_of(half + std::string(100000, '0')), even));
    // Just below: the last digit lowered, followed by nines.
    std::string below = half;
    std::size_t last = below.size() - 1;
    while (below[last] == '0' || below[last] == '.') --last;
    --below[last];
    below += std::string(2000, '9');
    EXPECT_TRUE(is_real(real_of(below), low));
    // The same halves written with the exponent of a shifted point.
    const std::size_t point = half.find('.');
    std::string shifted = half.substr(0, point) + half.substr(point + 1);
    const auto shift = static_cast<long>(half.size() - point - 1);
    EXPECT_TRUE(is_real(real_of(shifted + "e-" + std::to_string(shift)), even));
    EXPECT_TRUE(is_real(real_of(shifted + "1d-" + std::to_string(shift + 1)), high));
    EXPECT_TRUE(is_real(real_of("-" + shifted + "-" + std::to_string(shift)), -even));
  }
  EXPECT_GE(significant_digits(halfway_above(std::numeric_limits<double>::min())), 760u);
}

// ---- long items, binary junk

TEST(ConsoleReader, MillionDigitItems) {
  const std::string zeros(1'000'000, '0');
  EXPECT_TRUE(is_real(real_of("1" + zeros + "e-1000000"), 1.0));
  EXPECT_TRUE(is_real(real_of("0." + zeros + "1e1000001"), 1.0));
  EXPECT_TRUE(is_real(real_of("0." + zeros + "1"), 0.0));
  EXPECT_TRUE(is_failure(real_of("1" + zeros), ReadFailure::bad_real));
  EXPECT_TRUE(is_real(real_of(zeros + "." + zeros + "25"), 0.0));
  EXPECT_TRUE(is_real(real_of(zeros + "." + "25" + zeros), 0.25));
  EXPECT_TRUE(is_integer(integer_of(zeros + "42"), 42));
  EXPECT_TRUE(is_failure(integer_of(std::string(1'000'000, '9')), ReadFailure::integer_overflow));
  EXPECT_TRUE(is_failure(integer_of(std::string(1'000'000, '9') + "x"), ReadFailure::bad_integer));
  // A million significant digits: 0.333... rounds like 1/3.
  EXPECT_TRUE(is_real(real_of("0." + std::string(1'000'000, '3')), 1.0 / 3.0));
  EXPECT_TRUE(is_real(real_of(std::string(1'000'000, '3') + "e-1000000"), 1.0 / 3.0));
  EXPECT_TRUE(is_failure(real_of("1" + zeros + "e" + std::string(1'000'000, '9') + "-"), ReadFailure::bad_real));
  EXPECT_TRUE(is_failure(real_of("1" + zeros + "e" + std::string(1'000'000, '9')), ReadFailure::bad_real));
  EXPECT_TRUE(is_real(real_of("1" + zeros + "e-" + std::string(1'000'000, '9')), 0.0));
}

TEST(ConsoleReader, FiftyMegabyteLineWithoutLineEnd) {
  constexpr std::uint64_t kLength = 50'000'000;
  {
    GeneratedInput generated("1", '0', kLength, "e-50000000");
    std::istream in(&generated);
    ConsoleReader reader(in);
    EXPECT_TRUE(is_real(reader.read_real(), 1.0));
    EXPECT_TRUE(is_failure(reader.read_real(), ReadFailure::end_of_file));
    EXPECT_EQ(generated.produced(), kLength + 11);
  }
  {
    GeneratedInput generated("", '7', kLength, "");
    std::istream in(&generated);
    ConsoleReader reader(in);
    EXPECT_TRUE(is_failure(reader.read_integer(), ReadFailure::integer_overflow));
    EXPECT_TRUE(is_failure(reader.read_integer(), ReadFailure::end_of_file));
  }
  {
    // A value, then 50 MB of junk on its line, then the next line.
    GeneratedInput generated("5 ", '\0', kLength, "\n6\n");
    std::istream in(&generated);
    ConsoleReader reader(in);
    EXPECT_TRUE(is_integer(reader.read_integer(), 5));
    EXPECT_TRUE(is_integer(reader.read_integer(), 6));
    EXPECT_TRUE(is_failure(reader.read_integer(), ReadFailure::end_of_file));
  }
}

TEST(ConsoleReader, FiftyMegabytesOfBlanksThenEndOfFile) {
  GeneratedInput generated("", ' ', 50'000'000, "\r\n");
  std::istream in(&generated);
  EXPECT_TRUE(is_failure(ConsoleReader(in).read_real(), ReadFailure::end_of_file));
}

TEST(ConsoleReader, NulBytesAreOrdinaryCharacters) {
  EXPECT_TRUE(is_failure(integer_of("4\0"s "2\n"), ReadFailure::bad_integer));
  EXPECT_TRUE(is_failure(integer_of("\0"s), ReadFailure::bad_integer));
  EXPECT_TRUE(is_failure(real_of("1.5\0"s), ReadFailure::bad_real));
  EXPECT_TRUE(is_failure(real_of("\0"s "1.5"), ReadFailure::bad_real));
  std::istringstream in("12 \0\0junk\n7\n"s);
  ConsoleReader reader(in);
  EXPECT_TRUE(is_integer(reader.read_integer(), 12));
  EXPECT_TRUE(is_integer(reader.read_integer(), 7));
}

TEST(ConsoleReader, RandomBytesGiveAValueOrAFailure) {
  std::mt19937_64 random(4242);
  const std::string interesting = "0123456789+-.eEdD ,/\t\r\n\0xI*"s;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) {
      text += random() % 4 == 0 ? static_cast<char>(random()) : interesting[random() % interesting.size()];
    }
    std::istringstream in(text);
    ConsoleReader reader(in);
    for (int reads = 0; reads <= length + 1; ++reads) {
      const bool integer = random() & 1;
      const bool at_end = integer ? (!reader.read_integer().value && in.rdbuf()->sgetc() == EOF)
                                  : (!reader.read_real().value && in.rdbuf()->sgetc() == EOF);
      if (at_end) break;
    }
    ASSERT_EQ(in.rdbuf()->sgetc(), EOF) << "reads consume at least one character each";
  }
}

TEST(ConsoleReader, StreamWithoutBufferIsAtEndOfFile) {
  std::istream in(nullptr);
  ConsoleReader reader(in);
  EXPECT_TRUE(is_failure(reader.read_integer(), ReadFailure::end_of_file));
  EXPECT_TRUE(is_failure(reader.read_real(), ReadFailure::end_of_file));
}

}  // namespace
}  // namespace parasim::textio
