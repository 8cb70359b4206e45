#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

#include "results_history_match.hpp"

namespace parasim::report_tool {

// Reads the species history in `folder` (species.csv and abundance.csv, checked against each
// other), writes its part of the summary to out and, when table_folder is given, the tables of
// HistoryTables there. With the counts of a results file already read, checks that the two are
// of one run (ResultsHistoryMatch). Throws MalformedHistory for a damaged history,
// MalformedResults or MalformedHistory for a results file of another run, and ReportIoError for
// a file that cannot be read or written.
void report_history(const std::filesystem::path& folder,
                    const std::optional<std::filesystem::path>& table_folder, std::int64_t min_size,
                    std::ostream& out, const ReportedCounts* results = nullptr);

}  // namespace parasim::report_tool
