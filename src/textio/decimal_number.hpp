#pragma once

#include <cstdint>
#include <optional>

namespace parasim::textio {

// A decimal number as the reader scans it: its sign, its significant digits (the first
// kept_digits of them, and whether any nonzero digit was dropped beyond those), where the
// point stands among them and the exponent written after them. Counts of digits and the
// exponent saturate far beyond any double, so input of any length fits.
class DecimalNumber {
 public:
  // A halfway point between two doubles has at most 767 significant digits, so 800 digits
  // and a sticky flag for any nonzero digit beyond decide every rounding as the full digit
  // string would.
  static constexpr int kept_digits = 800;

  void set_negative(bool negative) { negative_ = negative; }
  // The next mantissa digit (0 ... 9), before or after the point.
  void add_digit(int digit, bool after_point);
  // The exponent written after the mantissa ("e-3" adds -3).
  void add_exponent_digit(int digit);
  void set_exponent_negative(bool negative) { exponent_negative_ = negative; }

  // The nearest double, ties to even; zero and values too small for a double keep the sign.
  // Nothing when the value is too large for a double.
  std::optional<double> nearest_double() const;

 private:
  bool negative_ = false;
  char digits_[kept_digits] = {};
  int kept_ = 0;
  bool sticky_ = false;
  std::int64_t integer_digits_ = 0;   // significant digits before the point
  std::int64_t leading_zeros_ = 0;    // zeros after the point before the first significant one
  bool exponent_negative_ = false;
  std::int64_t exponent_ = 0;
};

}  // namespace parasim::textio
