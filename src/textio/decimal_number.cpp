#include "textio/decimal_number.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace parasim::textio {

namespace {

// Counts of digits and exponent values saturate here; far beyond any double.
constexpr std::int64_t saturation = 1'000'000'000'000'000;  // 10^15
// With the digits read as 0.d1d2... x 10^E, every E above this overflows and every E
// below minus this gives zero (10^-400 is below half the least subnormal).
constexpr std::int64_t exponent_limit = 400;

void saturating_increment(std::int64_t& count) {
  if (count < saturation) ++count;
}

// Writes the decimal digits of value (may be negative) at p; returns the end.
char* write_int64(char* p, std::int64_t value) {
  if (value < 0) {
    *p++ = '-';
    value = -value;
  }
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *p++ = digits[--n];
  return p;
}

}  // namespace

void DecimalNumber::add_digit(int digit, bool after_point) {
  if (kept_ == 0 && !sticky_ && digit == 0) {
    // A zero before the first significant digit only moves the point.
    if (after_point) saturating_increment(leading_zeros_);
    return;
  }
  if (!after_point) saturating_increment(integer_digits_);
  if (kept_ < kept_digits) {
    digits_[kept_++] = static_cast<char>('0' + digit);
  } else if (digit != 0) {
    sticky_ = true;
  }
}

void DecimalNumber::add_exponent_digit(int digit) {
  if (exponent_ < saturation) exponent_ = exponent_ * 10 + digit;
}

std::optional<double> DecimalNumber::nearest_double() const {
  if (kept_ == 0) return negative_ ? -0.0 : 0.0;

  // The value is 0.d1d2... x 10^scale.
  const std::int64_t scale =
      integer_digits_ - leading_zeros_ + (exponent_negative_ ? -exponent_ : exponent_);
  if (scale > exponent_limit) return std::nullopt;
  if (scale < -exponent_limit) return negative_ ? -0.0 : 0.0;

  // The canonical form handed to strtod: sign, the kept digits, a sticky digit, "e" and the
  // exponent of the last digit.
  char canonical[kept_digits + 40];
  char* p = canonical;
  *p++ = negative_ ? '-' : '+';
  for (int i = 0; i < kept_; ++i) *p++ = digits_[i];
  if (sticky_) *p++ = '1';
  const auto digit_count = static_cast<std::int64_t>(p - canonical - 1);
  *p++ = 'e';
  p = write_int64(p, scale - digit_count);
  *p = '\0';
  const int saved_errno = errno;  // strtod reports underflow through errno; keep the caller's
  const double value = std::strtod(canonical, nullptr);
  errno = saved_errno;
  if (std::isinf(value)) return std::nullopt;
  return value;
}

}  // namespace parasim::textio
