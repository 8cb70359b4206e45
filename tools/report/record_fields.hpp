#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parasim::report_tool {

// Every real of a results record is printed with four decimals, so the tool holds each one as a
// whole number of ten-thousandths: exactly the value written, and equal prints compare equal.
using TenThousandths = std::int64_t;
inline constexpr TenThousandths ten_thousandths_per_unit = 10000;

enum class FieldStatus {
  ok,
  blank,       // nothing but blanks
  overflowed,  // all asterisks: the value did not fit when the run wrote it
  malformed,   // anything else that is not a right-aligned number of the field's kind
};

struct FieldValue {
  FieldStatus status = FieldStatus::malformed;
  std::int64_t value = 0;
};

// An I8 field: leading blanks, an optional "-", then digits up to the end of the field.
FieldValue parse_integer_field(std::string_view field);

// An F15.4 field: leading blanks, an optional "-", digits, ".", then exactly four digits up to
// the end of the field. The value comes back in ten-thousandths; "-0.0000" gives 0.
FieldValue parse_real_field(std::string_view field);

// Appends value as the file prints it, with four decimals and no padding: 50000 gives "5.0000".
void append_real(std::string& out, TenThousandths value);

}  // namespace parasim::report_tool
