#pragma once

// Builds the text of small results files for the tests: the header as a run writes it and
// records in the run's fixed columns, with the line end of the test's choice.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "report/results_layout.hpp"

namespace parasim::report_tool::testing {

struct RecordValues {
  std::int64_t generation;
  double phenotype;
  std::int64_t host_id;
  double host_phenotype;
  std::int64_t species_id;
};

// The header lines as the file holds them, without their line ends.
inline const std::vector<std::string>& results_header() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> header;
    for (const std::string_view text : report::header_texts) {
      header.push_back(" " + std::string(text));
    }
    return header;
  }();
  return lines;
}

// One record without its line end: blank, I8, three times blank and F15.4, blank, I8.
inline std::string record_line(const RecordValues& values) {
  char text[128];
  std::snprintf(text, sizeof text, " %8lld %15.4f %15.4f %15.4f %8lld",
                static_cast<long long>(values.generation), values.phenotype,
                static_cast<double>(values.host_id), values.host_phenotype,
                static_cast<long long>(values.species_id));
  return text;
}

// The header followed by the given record lines, each ended with line_end.
inline std::string results_text(const std::vector<std::string>& record_lines,
                                const std::string& line_end = "\r\n") {
  std::string text;
  for (const std::string& line : results_header()) {
    text += line + line_end;
  }
  for (const std::string& line : record_lines) {
    text += line + line_end;
  }
  return text;
}

inline std::string results_text(const std::vector<RecordValues>& records,
                                const std::string& line_end = "\r\n") {
  std::vector<std::string> lines;
  for (const RecordValues& values : records) {
    lines.push_back(record_line(values));
  }
  return results_text(lines, line_end);
}

}  // namespace parasim::report_tool::testing
