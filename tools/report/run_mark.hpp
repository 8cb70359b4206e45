#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parasim::report_tool {

// One answer of a run, by its name.
struct RunAnswer {
  std::string name;
  double value = 0.0;
};

// What tells one run from another: the seed and the ten answers by name, in the order written.
struct RunMark {
  std::int64_t seed = 0;
  std::vector<RunAnswer> answers;
};

// The mark in the text of a history's run.json (file_name names it in messages). Throws
// MalformedHistory at the line of the first fault.
RunMark run_mark_from_text(std::string_view text, const std::string& file_name);

// The mark of the history in folder; nothing for a history without run.json, as histories
// written before they carried one are. Throws MalformedHistory for a run.json that is not one
// and ReportIoError for one that cannot be read.
std::optional<RunMark> read_history_mark(const std::filesystem::path& folder);

// Checks that the run record (parasim --record) at record is of the run that wrote the history
// in history_folder: the same seed and the same answers. Throws RecordRefused, naming both, for
// a record that is not one or is of another run; nothing is checked when the history has no
// mark.
void check_record_of_history(const std::filesystem::path& record,
                             const std::filesystem::path& history_folder);

}  // namespace parasim::report_tool
