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
void append_real_field(std::string& out, double value, int width, int decimals);

}  // namespace parasim::textio
