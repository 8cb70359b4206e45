#include "record_fields.hpp"

#include <cstddef>

namespace parasim::report_tool {
namespace {

constexpr int real_decimals = 4;
// Neither field kind is wider than 15 characters, so 15 digits never overflow an int64.
constexpr std::size_t widest_field = 15;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Classifies a field that did not parse as a number: blank, asterisks or plain garbage.
FieldStatus classify_unparsed(std::string_view field) {
  if (field.find_first_not_of(' ') == std::string_view::npos) {
    return FieldStatus::blank;
  }
  if (field.find_first_not_of('*') == std::string_view::npos) {
    return FieldStatus::overflowed;
  }
  return FieldStatus::malformed;
}

// Reads the digits of field from position *at onward into *value; returns how many there were.
std::size_t read_digits(std::string_view field, std::size_t* at, std::int64_t* value) {
  const std::size_t start = *at;
  while (*at < field.size() && is_digit(field[*at])) {
    *value = *value * 10 + (field[*at] - '0');
    ++*at;
  }
  return *at - start;
}

// Skips the leading blanks and an optional minus sign; returns whether the sign was there.
bool skip_blanks_and_sign(std::string_view field, std::size_t* at) {
  while (*at < field.size() && field[*at] == ' ') {
    ++*at;
  }
  if (*at < field.size() && field[*at] == '-') {
    ++*at;
    return true;
  }
  return false;
}

}  // namespace

FieldValue parse_integer_field(std::string_view field) {
  if (field.size() > widest_field) {
    return {FieldStatus::malformed, 0};
  }
  std::size_t at = 0;
  const bool negative = skip_blanks_and_sign(field, &at);
  std::int64_t magnitude = 0;
  if (read_digits(field, &at, &magnitude) == 0 || at != field.size()) {
    return {classify_unparsed(field), 0};
  }
  return {FieldStatus::ok, negative ? -magnitude : magnitude};
}

FieldValue parse_real_field(std::string_view field) {
  if (field.size() > widest_field) {
    return {FieldStatus::malformed, 0};
  }
  std::size_t at = 0;
  const bool negative = skip_blanks_and_sign(field, &at);
  std::int64_t magnitude = 0;
  const bool has_whole_part = read_digits(field, &at, &magnitude) > 0;
  const bool has_point = at < field.size() && field[at] == '.';
  if (!has_whole_part || !has_point || field.size() - at - 1 != real_decimals) {
    return {classify_unparsed(field), 0};
  }
  ++at;
  if (read_digits(field, &at, &magnitude) != real_decimals) {
    return {classify_unparsed(field), 0};
  }
  return {FieldStatus::ok, negative ? -magnitude : magnitude};
}

void append_real(std::string& out, TenThousandths value) {
  // Unsigned, so that the most negative value still has a magnitude.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  if (value < 0) {
    out += '-';
  }
  out += std::to_string(magnitude / ten_thousandths_per_unit);
  out += '.';
  const std::string decimals = std::to_string(magnitude % ten_thousandths_per_unit);
  out.append(real_decimals - decimals.size(), '0');
  out += decimals;
}

}  // namespace parasim::report_tool
