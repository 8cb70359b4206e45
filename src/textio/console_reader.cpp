#include "textio/console_reader.hpp"

#include <streambuf>
#include <string>

#include "textio/decimal_number.hpp"

namespace parasim::textio {

namespace {

using Traits = std::char_traits<char>;
const int eof = Traits::eof();

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ends_item(int c) { return c == eof || is_blank(c) || c == ',' || c == '/'; }

bool is_digit(int c) { return c >= '0' && c <= '9'; }

bool is_sign(int c) { return c == '+' || c == '-'; }

// Skips blanks, tabs, CRs and line ends; returns the next character, not consumed.
int skip_blanks(std::streambuf& in) {
  int c = in.sgetc();
  while (c != eof && is_blank(c)) c = in.snextc();
  return c;
}

// Discards everything up to and including the next line end.
void discard_rest_of_line(std::streambuf& in) {
  int c = in.sgetc();
  while (c != eof) {
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

// Scans a real item into a DecimalNumber: [+-]? digits with at most one ".", then
// optionally an exponent, [EeDd][+-]?digits or [+-]digits. Stops at the first character
// that breaks the syntax; the item is whole only if the scan ends at the item's end.
class RealScanner {
 public:
  explicit RealScanner(std::streambuf& in) : in_(in), c_(in.sgetc()) {}

  // Whether the whole item is a real; the number is filled as far as it was scanned.
  bool scan(DecimalNumber& number) {
    if (is_sign(c_)) {
      number.set_negative(c_ == '-');
      advance();
    }
    bool any_digit = mantissa_digits(number, false);
    if (c_ == '.') {
      advance();
      any_digit = mantissa_digits(number, true) || any_digit;
    }
    if (!any_digit) return false;
    if (c_ == 'E' || c_ == 'e' || c_ == 'D' || c_ == 'd') {
      advance();
      if (!exponent(number)) return false;
    } else if (is_sign(c_) && !exponent(number)) {
      return false;
    }
    return ends_item(c_);
  }

 private:
  void advance() { c_ = in_.snextc(); }

  bool mantissa_digits(DecimalNumber& number, bool after_point) {
    bool any = false;
    for (; is_digit(c_); advance()) {
      number.add_digit(c_ - '0', after_point);
      any = true;
    }
    return any;
  }

  // An optional sign, then one or more digits.
  bool exponent(DecimalNumber& number) {
    if (is_sign(c_)) {
      number.set_exponent_negative(c_ == '-');
      advance();
    }
    if (!is_digit(c_)) return false;
    for (; is_digit(c_); advance()) number.add_exponent_digit(c_ - '0');
    return true;
  }

  std::streambuf& in_;
  int c_;
};

}  // namespace

ReadResult<std::int32_t> ConsoleReader::read_integer() {
  std::streambuf* buffer = input_.rdbuf();
  if (buffer == nullptr) return failed<std::int32_t>(ReadFailure::end_of_file);
  std::streambuf& in = *buffer;

  int c = skip_blanks(in);
  if (c == eof) return failed<std::int32_t>(ReadFailure::end_of_file);

  bool negative = false;
  if (is_sign(c)) {
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

  if (skip_blanks(in) == eof) return failed<double>(ReadFailure::end_of_file);
  DecimalNumber number;
  const bool whole_item = RealScanner(in).scan(number);
  discard_rest_of_line(in);
  if (!whole_item) return failed<double>(ReadFailure::bad_real);
  const std::optional<double> value = number.nearest_double();
  if (!value) return failed<double>(ReadFailure::bad_real);
  return succeeded<double>(*value);
}

}  // namespace parasim::textio
