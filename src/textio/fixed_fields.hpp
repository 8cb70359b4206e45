#pragma once

#include <cstdint>
#include <string>

namespace parasim::textio {

// Iw: the decimal digits of value, "-" in front when negative, right-aligned in
// width characters; width asterisks when the text does not fit.
void append_integer_field(std::string& out, std::int64_t value, int width);

// Fw.d: value rounded to `decimals` places from the exact value of the double
// (exact halves to the even digit), "-" for every negative value including -0.0,
// right-aligned in width characters; width asterisks when the text does not fit.
// An infinity is written "Infinity" or "-Infinity", a not-a-number "NaN".
void append_real_field(std::string& out, double value, int width, int decimals);

// The same two fields written into dest, which must hold width characters:
// exactly max(width, 0) characters are written, with no terminating NUL.
// Neither allocates for width <= 39 and decimals <= 22.
void format_integer_field(char* dest, std::int64_t value, int width);
void format_real_field(char* dest, double value, int width, int decimals);

}  // namespace parasim::textio
