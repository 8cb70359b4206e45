#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace parasim::testing {

// The rows of a history table after its header, each split at its commas (an empty last field
// kept).
inline std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) {
      fields.push_back(cell);
    }
    if (!line.empty() && line.back() == ',') {
      fields.emplace_back();
    }
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace parasim::testing
