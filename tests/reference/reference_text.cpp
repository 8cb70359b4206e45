#include "reference/reference_text.hpp"

#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace parasim::reference {

std::int32_t nint(double x) {
  const double magnitude = std::fabs(x);
  const double whole = std::floor(magnitude);
  auto n = static_cast<std::int32_t>(whole);
  if (magnitude - whole >= 0.5) {  // the difference is exact for every double
    ++n;
  }
  return x < 0 ? -n : n;
}

std::int32_t int_of(long double x) {
  return static_cast<std::int32_t>(x);
}

std::string text_line(const std::string& text) {
  return " " + text + "\r\n";
}

namespace {

std::string right_aligned(const std::string& text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) {
    return std::string(w, '*');
  }
  return std::string(w - text.size(), ' ') + text;
}

}  // namespace

std::string integer_field(std::int32_t value, int width) {
  return right_aligned(std::to_string(value), width);
}

std::string real_field(double value, int width) {
  // The C library converts from the exact binary value and breaks exact ties to even in the
  // default rounding mode; it also keeps the sign of negative values that round to zero.
  char text[400];
  std::snprintf(text, sizeof text, "%.4f", value);
  return right_aligned(text, width);
}

std::string report_record(std::int32_t generation, double phenotype, double host_id,
                          double host_phenotype, std::int32_t species) {
  std::string line;
  line += ' ';
  line += integer_field(generation, 8);
  for (const double value : {phenotype, host_id, host_phenotype}) {
    line += ' ';
    line += real_field(value, 15);
  }
  line += ' ';
  line += integer_field(species, 8);
  line += "\r\n";
  return line;
}

}  // namespace parasim::reference
