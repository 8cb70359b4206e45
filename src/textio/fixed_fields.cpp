#include "textio/fixed_fields.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

// Reals are rounded to their decimals from the exact binary value in 128-bit integer
// arithmetic, which GCC and Clang offer on 64-bit targets.
#ifndef __SIZEOF_INT128__
#error "parasim needs unsigned __int128 (GCC or Clang on a 64-bit target) to format reals exactly"
#endif

namespace parasim::textio {

namespace {

__extension__ typedef unsigned __int128 u128;

// Largest total digit count of a field handled in exact 128-bit arithmetic:
// 10^38 < 2^127.
constexpr int kMaxFastDigits = 38;
// Largest decimals handled in 128-bit arithmetic: 2^53 * 10^22 < 2^127.
constexpr int kMaxFastDecimals = 22;
// Largest width handled without a heap buffer (sign and point included).
constexpr int kMaxFastWidth = kMaxFastDigits + 1;

struct Pow10Table {
  u128 value[kMaxFastDigits + 1];
  constexpr Pow10Table() : value() {
    u128 p = 1;
    for (int i = 0; i <= kMaxFastDigits; ++i) {
      value[i] = p;
      p *= 10;
    }
  }
};
constexpr Pow10Table kPow10;

void write_asterisks(char* dest, int width) {
  std::memset(dest, '*', static_cast<std::size_t>(width));
}

// Right-aligns text in width characters, or writes asterisks when it is too long.
void place(char* dest, int width, const char* text, std::size_t length) {
  if (length > static_cast<std::size_t>(width)) {
    write_asterisks(dest, width);
    return;
  }
  const std::size_t pad = static_cast<std::size_t>(width) - length;
  std::memset(dest, ' ', pad);
  std::memcpy(dest + pad, text, length);
}

// Writes the digits of n backwards ending before `end`; returns the first digit.
char* render_unsigned(char* end, std::uint64_t n) {
  char* p = end;
  do {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  return p;
}

// Writes n / 10^decimals "." n % 10^decimals backwards ending before `end`,
// with at least one integer digit; returns the first character.
char* render_fixed(char* end, u128 n, int decimals) {
  char* p = end;
  if (n <= UINT64_MAX) {
    auto m = static_cast<std::uint64_t>(n);
    for (int i = 0; i < decimals; ++i) {
      *--p = static_cast<char>('0' + m % 10);
      m /= 10;
    }
    *--p = '.';
    return render_unsigned(p, m);
  }
  for (int i = 0; i < decimals; ++i) {
    *--p = static_cast<char>('0' + static_cast<int>(n % 10));
    n /= 10;
  }
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + static_cast<int>(n % 10));
    n /= 10;
  } while (n != 0);
  return p;
}

// The text of an infinity or a not-a-number.
std::string_view non_finite_text(double value) {
  if (std::isnan(value)) return "NaN";
  return std::signbit(value) ? std::string_view("-Infinity") : std::string_view("Infinity");
}

// Any width or decimals: the exact decimal expansion of the C library (glibc
// prints the exact binary value, rounding halves to even; "#" keeps the point
// of Fw.0).
void format_real_field_slow(char* dest, double value, int width, int decimals, bool negative) {
  const double magnitude = std::fabs(value);
  const int length = std::snprintf(nullptr, 0, "%#.*f", decimals, magnitude);
  if (length < 0) {
    write_asterisks(dest, width);
    return;
  }
  std::string text(static_cast<std::size_t>(length) + 2, '\0');
  char* digits = text.data() + 1;
  std::snprintf(digits, static_cast<std::size_t>(length) + 1, "%#.*f", decimals, magnitude);
  const char* start = digits;
  if (negative) {
    text[0] = '-';
    start = text.data();
  }
  place(dest, width, start, static_cast<std::size_t>(length) + (negative ? 1 : 0));
}

}  // namespace

void format_integer_field(char* dest, std::int64_t value, int width) {
  if (width <= 0) return;
  char buffer[24];
  char* end = buffer + sizeof buffer;
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* p = render_unsigned(end, magnitude);
  if (negative) *--p = '-';
  place(dest, width, p, static_cast<std::size_t>(end - p));
}

void format_real_field(char* dest, double value, int width, int decimals) {
  if (width <= 0) return;
  if (decimals < 0) decimals = 0;
  if (!std::isfinite(value)) {
    const std::string_view text = non_finite_text(value);
    place(dest, width, text.data(), text.size());
    return;
  }
  const bool negative = std::signbit(value);
  if (width > kMaxFastWidth || decimals > kMaxFastDecimals) {
    format_real_field_slow(dest, value, width, decimals, negative);
    return;
  }
  // Digits available for the integer part and the decimals together.
  const int total_digits = width - 1 - (negative ? 1 : 0);
  if (total_digits < decimals + 1) {  // not even "0." and the decimals fit
    write_asterisks(dest, width);
    return;
  }
  const int integer_digits = total_digits - decimals;

  // value = +-m * 2^e exactly, m < 2^53.
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e;
  if (biased_exponent == 0) {
    e = -1074;
  } else {
    m |= std::uint64_t{1} << 52;
    e = biased_exponent - 1075;
  }

  // n = the magnitude times 10^decimals, rounded to an integer, halves to even.
  u128 n;
  if (m == 0) {
    n = 0;
  } else if (e >= 0) {
    // An integer m * 2^e >= 2^52; beyond 2^127 it cannot fit (10^38 < 2^127).
    if (e > 127 - 53) {
      write_asterisks(dest, width);
      return;
    }
    const u128 whole = static_cast<u128>(m) << e;
    if (whole >= kPow10.value[integer_digits]) {
      write_asterisks(dest, width);
      return;
    }
    n = whole * kPow10.value[decimals];
  } else {
    const int shift = -e;
    const u128 product = static_cast<u128>(m) * kPow10.value[decimals];  // < 2^127
    if (shift >= 128) {
      n = 0;  // product < 2^127 <= half of 2^shift
    } else {
      const u128 quotient = product >> shift;
      const u128 remainder = product & ((static_cast<u128>(1) << shift) - 1);
      const u128 half = static_cast<u128>(1) << (shift - 1);
      n = quotient;
      if (remainder > half || (remainder == half && (quotient & 1) != 0)) ++n;
    }
  }
  if (n >= kPow10.value[total_digits]) {
    write_asterisks(dest, width);
    return;
  }

  char buffer[kMaxFastWidth + 8];
  char* end = buffer + sizeof buffer;
  char* p = render_fixed(end, n, decimals);
  if (negative) *--p = '-';
  place(dest, width, p, static_cast<std::size_t>(end - p));
}

void append_integer_field(std::string& out, std::int64_t value, int width) {
  if (width <= 0) return;
  const std::size_t old_size = out.size();
  out.resize(old_size + static_cast<std::size_t>(width));
  format_integer_field(out.data() + old_size, value, width);
}

void append_real_field(std::string& out, double value, int width, int decimals) {
  if (width <= 0) return;
  const std::size_t old_size = out.size();
  out.resize(old_size + static_cast<std::size_t>(width));
  format_real_field(out.data() + old_size, value, width, decimals);
}

}  // namespace parasim::textio
