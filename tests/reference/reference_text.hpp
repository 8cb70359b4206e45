// The text rules the model's output follows, written plainly: a text line is one blank, the text
// and CR LF; a report record is "(1X,I8,3(1x,f15.4),1X,I8)"; NINT rounds halves away from zero
// and INT truncates toward zero.
#pragma once

#include <cstdint>
#include <string>

namespace parasim::reference {

// Nearest integer, halves away from zero, decided on the exact value.
std::int32_t nint(double x);

// Truncation toward zero.
std::int32_t int_of(long double x);

// " " + text + "\r\n".
std::string text_line(const std::string& text);

// Iw: the integer right-aligned in `width` characters, or `width` asterisks when it does not fit.
std::string integer_field(std::int32_t value, int width);

// Fw.4: rounded from the exact value of the double (exact halves to even), sign for every
// negative value, right-aligned, asterisks when too wide.
std::string real_field(double value, int width);

// One record line of the results file, CR LF included.
std::string report_record(std::int32_t generation, double phenotype, double host_id,
                          double host_phenotype, std::int32_t species);

}  // namespace parasim::reference
