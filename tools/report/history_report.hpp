#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

namespace parasim::report_tool {

// Reads the species history in `folder` (species.csv and abundance.csv, checked against each
// other), writes its part of the summary to out and, when table_folder is given, the tables of
// HistoryTables there. Throws MalformedHistory for a damaged history and ReportIoError for a
// file that cannot be read or written.
void report_history(const std::filesystem::path& folder,
                    const std::optional<std::filesystem::path>& table_folder, std::int64_t min_size,
                    std::ostream& out);

}  // namespace parasim::report_tool
