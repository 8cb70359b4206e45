#pragma once

#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>

namespace parasim::report_tool {

// The summary's lines of the history: a name in a column of its own, then the value.
inline constexpr int summary_label_width = 36;

inline std::ostream& summary_item(std::ostream& out, const char* name) {
  return out << "  " << std::left << std::setw(summary_label_width) << name << std::right;
}

// A value with a fixed number of decimals.
inline std::string fixed_decimals(double value, int decimals) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(decimals) << value;
  return text.str();
}

}  // namespace parasim::report_tool
