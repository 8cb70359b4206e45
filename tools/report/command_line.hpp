#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace parasim::report_tool {

struct ReportOptions {
  bool show_help = false;
  std::optional<std::string> results_path;
  std::optional<std::string> history_folder;
  std::int64_t min_size = 10;  // species at the end with at least this many parasites
  std::optional<std::string> csv_folder;
  std::optional<std::string> plot_folder;
  std::optional<std::string> html_file;    // the web page of the run
  std::optional<std::string> record_file;  // the run record (parasim --record) the page shows
  std::optional<std::string> plotly_src;   // the page links plotly.js from here, not inside
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The words after the program name. Throws UsageError for anything it does not understand.
ReportOptions parse_command_line(const std::vector<std::string>& arguments);

extern const char* const usage_text;

}  // namespace parasim::report_tool
