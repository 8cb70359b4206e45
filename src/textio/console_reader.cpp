#include "textio/console_reader.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <streambuf>
#include <string>

namespace parasim::textio {

namespace {

using Traits = std::char_traits<char>;
const int kEof = Traits::eof();

// Significant mantissa digits kept for the conversion of a real. A halfway point
// between two doubles has at most 767 significant digits, so 800 digits and a
// sticky flag for any nonzero digit beyond decide every rounding as the full
// digit string would.
constexpr int kKeptDigits = 800;
// Counts of digits and exponent values saturate here; far beyond any double.
constexpr std::int64_t kSaturation = 1'000'000'000'000'000;  // 10^15
// With the digits read as 0.d1d2... x 10^E, every E above this overflows and
// every E below minus this gives zero (10^-400 is below half the least subnormal).
constexpr std::int64_t kExponentLimit = 400;

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ends_item(int c) { return c == kEof || is_blank(c) || c == ',' || c == '/'; }

bool is_digit(int c) { return c >= '0' && c <= '9'; }

void saturating_increment(std::int64_t& count) {
  if (count < kSaturation) ++count;
}

void saturating_append_digit(std::int64_t& value, int digit) {
  if (value < kSaturation) value = value * 10 + digit;
}

// Skips blanks, tabs, CRs and line ends; returns the next character, not consumed.
int skip_blanks(std::streambuf& in) {
  int c = in.sgetc();
  while (c != kEof && is_blank(c)) c = in.snextc();
  return c;
}

// Discards everything up to and including the next line end.
void discard_rest_of_line(std::streambuf& in) {
  int c = in.sgetc();
  while (c != kEof) {
    in.sbumpc();
    if (c == '\n') return;
    c = in.sgetc();
  }
}

template <typename T>
ReadResult<T> failed(ReadFailure failure) {
  ReadResult<T> result;
  result.failure = failure;
  return result;
}

template <typename T>
ReadResult<T> succeeded(T value) {
  ReadResult<T> result;
  result.value = value;
  return result;
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

std::string_view read_failure_message(ReadFailure failure) {
  switch (failure) {
    case ReadFailure::end_of_file:
      return "End of file";
    case ReadFailure::bad_integer:
      return "Bad integer for item 1 in list input";
    case ReadFailure::integer_overflow:
      return "Integer overflow while reading item 1";
    case ReadFailure::bad_real:
      return "Bad real number in item 1 of list input";
  }
  return "End of file";
}

ReadResult<std::int32_t> ConsoleReader::read_integer() {
  std::streambuf* buffer = input_.rdbuf();
  if (buffer == nullptr) return failed<std::int32_t>(ReadFailure::end_of_file);
  std::streambuf& in = *buffer;

  int c = skip_blanks(in);
  if (c == kEof) return failed<std::int32_t>(ReadFailure::end_of_file);

  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    c = in.snextc();
  }
  bool any_digit = false;
  bool overflow = false;
  std::int64_t magnitude = 0;
  while (!ends_item(c)) {
    if (!is_digit(c)) {
      discard_rest_of_line(in);
      return failed<std::int32_t>(ReadFailure::bad_integer);
    }
    any_digit = true;
    if (!overflow) {
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > 2147483647) overflow = true;
    }
    c = in.snextc();
  }
  discard_rest_of_line(in);
  if (!any_digit) return failed<std::int32_t>(ReadFailure::bad_integer);
  if (overflow) return failed<std::int32_t>(ReadFailure::integer_overflow);
  const auto value = static_cast<std::int32_t>(magnitude);
  return succeeded<std::int32_t>(negative ? -value : value);
}

ReadResult<double> ConsoleReader::read_real() {
  std::streambuf* buffer = input_.rdbuf();
  if (buffer == nullptr) return failed<double>(ReadFailure::end_of_file);
  std::streambuf& in = *buffer;

  int c = skip_blanks(in);
  if (c == kEof) return failed<double>(ReadFailure::end_of_file);

  // The canonical form handed to strtod: sign, significant digits, sticky digit,
  // "e", exponent, NUL.
  char canonical[kKeptDigits + 40];
  char* const digits = canonical + 1;
  int kept = 0;
  bool sticky = false;
  bool any_mantissa_digit = false;
  bool seen_nonzero = false;
  bool seen_point = false;
  std::int64_t integer_significant = 0;  // significant digits before the point
  std::int64_t leading_fraction_zeros = 0;  // zeros after the point before the first nonzero
  bool negative = false;
  bool exponent_negative = false;
  std::int64_t exponent = 0;

  enum class State { mantissa, exponent_start, exponent_sign, exponent_digits };
  State state = State::mantissa;

  if (c == '+' || c == '-') {
    negative = c == '-';
    c = in.snextc();
  }
  bool syntax_ok = true;
  while (syntax_ok && !ends_item(c)) {
    switch (state) {
      case State::mantissa:
        if (is_digit(c)) {
          any_mantissa_digit = true;
          const int digit = c - '0';
          if (!seen_nonzero && digit == 0) {
            if (seen_point) saturating_increment(leading_fraction_zeros);
          } else {
            seen_nonzero = true;
            if (!seen_point) saturating_increment(integer_significant);
            if (kept < kKeptDigits) {
              digits[kept++] = static_cast<char>(c);
            } else if (digit != 0) {
              sticky = true;
            }
          }
        } else if (c == '.') {
          if (seen_point) syntax_ok = false;
          seen_point = true;
        } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
          state = State::exponent_start;
        } else if (c == '+' || c == '-') {
          exponent_negative = c == '-';
          state = State::exponent_sign;
        } else {
          syntax_ok = false;
        }
        break;
      case State::exponent_start:
        if (c == '+' || c == '-') {
          exponent_negative = c == '-';
          state = State::exponent_sign;
        } else if (is_digit(c)) {
          saturating_append_digit(exponent, c - '0');
          state = State::exponent_digits;
        } else {
          syntax_ok = false;
        }
        break;
      case State::exponent_sign:
      case State::exponent_digits:
        if (is_digit(c)) {
          saturating_append_digit(exponent, c - '0');
          state = State::exponent_digits;
        } else {
          syntax_ok = false;
        }
        break;
    }
    if (syntax_ok) c = in.snextc();
  }
  discard_rest_of_line(in);
  if (!syntax_ok || !any_mantissa_digit ||
      (state != State::mantissa && state != State::exponent_digits)) {
    return failed<double>(ReadFailure::bad_real);
  }
  if (!seen_nonzero) return succeeded<double>(negative ? -0.0 : 0.0);

  // The value is 0.d1d2... x 10^scale.
  const std::int64_t scale =
      integer_significant - leading_fraction_zeros + (exponent_negative ? -exponent : exponent);
  if (scale > kExponentLimit) return failed<double>(ReadFailure::bad_real);
  if (scale < -kExponentLimit) return succeeded<double>(negative ? -0.0 : 0.0);

  canonical[0] = negative ? '-' : '+';
  char* p = digits + kept;
  if (sticky) *p++ = '1';
  const auto digit_count = static_cast<std::int64_t>(p - digits);
  *p++ = 'e';
  p = write_int64(p, scale - digit_count);
  *p = '\0';
  const int saved_errno = errno;  // strtod reports underflow through errno; keep the caller's
  const double value = std::strtod(canonical, nullptr);
  errno = saved_errno;
  if (std::isinf(value)) return failed<double>(ReadFailure::bad_real);
  return succeeded<double>(value);
}

}  // namespace parasim::textio
