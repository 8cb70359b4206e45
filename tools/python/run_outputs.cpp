#include "run_outputs.hpp"

#include "app/generation_loop.hpp"
#include "app/run_record.hpp"
#include "report/history_layout.hpp"

namespace parasim::python {

namespace {

void add_history_folder(report::OutputTargets& targets, const std::string& folder) {
  targets.add_folder(
      "the history folder", folder,
      report::any_of_names(std::vector<std::string>(std::begin(report::history_file_names),
                                                    std::end(report::history_file_names))));
}

// The parasites of the last generation run, from the run's abundance table: nothing before the
// first generation has run.
std::optional<std::int64_t> last_generation_population(const SteppedRun& run) {
  const std::int32_t last = run.simulation().generations_run();
  if (last < 1) {
    return std::nullopt;
  }
  std::int64_t count = 0;
  for (const AbundanceEntry& entry : run.abundance()) {
    if (entry.generation == last) {
      count += entry.row.count;
    }
  }
  return count;
}

}  // namespace

std::unique_ptr<report::HistoryFiles> start_history(const std::string& folder,
                                                    const std::optional<std::string>& results_path,
                                                    std::int32_t tick_count,
                                                    const model::Parameters& parameters) {
  report::OutputTargets targets;
  if (results_path) {
    targets.add_compared_file("the results file", *results_path);
  }
  add_history_folder(targets, folder);
  targets.check();
  return std::make_unique<report::HistoryFiles>(folder, tick_count, parameters);
}

void refuse_history_files(const std::optional<std::string>& history_folder,
                          const std::function<void(report::OutputTargets&)>& add_targets) {
  if (!history_folder) {
    return;
  }
  report::OutputTargets targets;
  add_history_folder(targets, *history_folder);
  add_targets(targets);
  targets.check();
}

void write_record(const SteppedRun& run, const std::string& path, const RecordTimes& times) {
  report::OutputTargets targets;
  if (run.results_path()) {
    targets.add_compared_file("the results file the run writes", *run.results_path());
  }
  targets.add_file("the run record", path);
  targets.check();
  app::RunRecord record;
  record.parameters = run.simulation().parameters();
  record.tick_count = run.tick_count();
  record.seed_source = std::string(app::seed_source_name(times.seed_source));
  record.start_time = times.start;
  record.end_time = times.end;
  record.outcome = app::outcome_of(run.simulation(), last_generation_population(run));
  app::write_run_record(path, record);
}

}  // namespace parasim::python
