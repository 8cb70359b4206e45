#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace parasim::report {

// The fields of the history's tables: integers in decimal, reals in the shortest form that
// reads back to the same double, text as it stands (an empty field for none).
inline void append_field(std::string& out, std::int64_t value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

inline void append_field(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

inline void append_field(std::string& out, std::string_view text) {
  out.append(text);
}

// One CSV row: the fields separated by commas, then a line end.
template <typename First, typename... Rest>
void append_row(std::string& out, const First& first, const Rest&... rest) {
  append_field(out, first);
  ((out += ',', append_field(out, rest)), ...);
  out += '\n';
}

// A header row with its line end.
inline std::string header_line(std::string_view header) {
  std::string line(header);
  line += '\n';
  return line;
}

}  // namespace parasim::report
