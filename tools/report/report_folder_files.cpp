#include "report_folder_files.hpp"

namespace parasim::report_tool {

std::vector<std::string> report_folder_files() {
  std::vector<std::string> names;
  for (const ReportTable& table : results_tables) {
    names.emplace_back(table.file);
  }
  for (const ReportTable& table : history_tables) {
    names.emplace_back(table.file);
  }
  for (const std::string_view figure : figure_names) {
    for (const std::string_view format : figure_formats) {
      names.push_back(std::string(figure) + "." + std::string(format));
    }
  }
  return names;
}

}  // namespace parasim::report_tool
