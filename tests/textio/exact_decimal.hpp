// Test helpers: the exact decimal expansion of a double computed with plain
// big-number arithmetic, independent of the library and of the C library's printf.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace parasim::textio::testing {

// A nonnegative decimal: integer digits (no leading zeros, "0" for zero) and
// fraction digits (possibly empty, possibly with trailing zeros).
struct ExactDecimal {
  std::string integer_digits;
  std::string fraction_digits;
};

namespace detail {

// A big unsigned integer in base 10^9, least significant limb first.
using BigLimbs = std::vector<std::uint32_t>;
constexpr std::uint32_t kBase = 1'000'000'000;

inline void multiply_small(BigLimbs& big, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto& limb : big) {
    const std::uint64_t product = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(product % kBase);
    carry = product / kBase;
  }
  while (carry != 0) {
    big.push_back(static_cast<std::uint32_t>(carry % kBase));
    carry /= kBase;
  }
}

inline std::string to_digits(const BigLimbs& big) {
  std::string text = std::to_string(big.back());
  for (std::size_t i = big.size() - 1; i-- > 0;) {
    std::string limb = std::to_string(big[i]);
    text.append(9 - limb.size(), '0');
    text += limb;
  }
  return text;
}

}  // namespace detail

// The exact value of |value| (finite) in decimal.
inline ExactDecimal exact_decimal(double value) {
  value = std::fabs(value);
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  detail::BigLimbs big{static_cast<std::uint32_t>(mantissa % detail::kBase),
                       static_cast<std::uint32_t>((mantissa / detail::kBase) % detail::kBase),
                       static_cast<std::uint32_t>(mantissa / detail::kBase / detail::kBase)};
  while (big.size() > 1 && big.back() == 0) big.pop_back();
  ExactDecimal result;
  if (exponent >= 0) {
    int left = exponent;
    for (; left >= 31; left -= 31) detail::multiply_small(big, std::uint32_t{1} << 31);
    if (left > 0) detail::multiply_small(big, std::uint32_t{1} << left);
    result.integer_digits = detail::to_digits(big);
    return result;
  }
  // m * 2^-s = m * 5^s / 10^s.
  const int s = -exponent;
  int left = s;
  for (; left >= 13; left -= 13) detail::multiply_small(big, 1'220'703'125);  // 5^13
  for (; left > 0; --left) detail::multiply_small(big, 5);
  std::string digits = detail::to_digits(big);
  if (digits.size() <= static_cast<std::size_t>(s)) {
    digits.insert(0, static_cast<std::size_t>(s) + 1 - digits.size(), '0');
  }
  const std::size_t integer_length = digits.size() - static_cast<std::size_t>(s);
  result.integer_digits = digits.substr(0, integer_length);
  result.fraction_digits = digits.substr(integer_length);
  return result;
}

// Adds one to a string of decimal digits, lengthening it on a carry.
inline void increment_digits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The Fw.d text of value computed from its exact decimal expansion: round half
// to even, a sign for every negative value, right-aligned, asterisks when too long.
inline std::string reference_real_field(double value, int width, int decimals) {
  std::string text;
  if (std::isnan(value)) {
    text = "NaN";
  } else if (std::isinf(value)) {
    text = std::signbit(value) ? "-Infinity" : "Infinity";
  } else {
    ExactDecimal exact = exact_decimal(value);
    std::string fraction = exact.fraction_digits;
    if (fraction.size() < static_cast<std::size_t>(decimals) + 1) {
      fraction.append(static_cast<std::size_t>(decimals) + 1 - fraction.size(), '0');
    }
    std::string kept = exact.integer_digits + fraction.substr(0, static_cast<std::size_t>(decimals));
    const char first_dropped = fraction[static_cast<std::size_t>(decimals)];
    bool rest_nonzero = fraction.find_first_not_of('0', static_cast<std::size_t>(decimals) + 1) !=
                        std::string::npos;
    bool round_up = first_dropped > '5' || (first_dropped == '5' && rest_nonzero) ||
                    (first_dropped == '5' && !rest_nonzero && (kept.back() - '0') % 2 == 1);
    if (round_up) increment_digits(kept);
    const std::size_t integer_length = kept.size() - static_cast<std::size_t>(decimals);
    std::string integer_part = kept.substr(0, integer_length);
    const std::size_t first_nonzero = integer_part.find_first_not_of('0');
    integer_part = first_nonzero == std::string::npos ? "0" : integer_part.substr(first_nonzero);
    text = (std::signbit(value) ? "-" : "") + integer_part + "." + kept.substr(integer_length);
  }
  if (width <= 0) return "";
  if (text.size() > static_cast<std::size_t>(width)) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// The exact decimal text of value (finite, nonnegative): digits, ".", digits.
inline std::string exact_decimal_text(double value) {
  const ExactDecimal exact = exact_decimal(value);
  return exact.integer_digits + "." + (exact.fraction_digits.empty() ? "0" : exact.fraction_digits);
}

}  // namespace parasim::textio::testing
