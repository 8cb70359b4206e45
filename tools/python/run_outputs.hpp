#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/opened_run.hpp"
#include "model/parameters.hpp"
#include "report/history_files.hpp"
#include "report/placed_file.hpp"
#include "stepped_run.hpp"

namespace parasim::python {

// The species history of a new run, written into folder as the run goes by the console
// program's history writer (species.csv, abundance.csv, run.json): the folder is checked
// with the run's results file, as parasim checks --history with Output.dat, and made when
// missing. The run follows it as one of its observers. Throws report::TargetRefused or
// report::OutputFailure.
std::unique_ptr<report::HistoryFiles> start_history(const std::string& folder,
                                                    const std::optional<std::string>& results_path,
                                                    std::int32_t tick_count,
                                                    const model::Parameters& parameters);

// Refuses the targets that add_targets adds when one of them is a file of the history folder
// a run writes as it goes (nothing is checked for a run without one). Throws
// report::TargetRefused.
void refuse_history_files(const std::optional<std::string>& history_folder,
                          const std::function<void(report::OutputTargets&)>& add_targets);

// When a run driven from Python began and ended, and where its seed came from, for its record.
struct RecordTimes {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  app::SeedSource seed_source = app::SeedSource::option;
};

// Puts the run record of the run as it stands at path, as parasim --record writes it after a
// run that went through: its answers and derived values, seed, times, the generations run so
// far and the population and species now. The target is refused as write_results refuses
// its own. Throws report::TargetRefused or report::OutputFailure.
void write_record(const SteppedRun& run, const std::string& path, const RecordTimes& times);

}  // namespace parasim::python
