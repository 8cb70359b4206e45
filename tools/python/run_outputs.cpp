#include "run_outputs.hpp"

#include "app/generation_loop.hpp"
#include "app/run_record.hpp"
#include "report/history_layout.hpp"

namespace parasim::python {

namespace {

void add_history_folder(report::OutputTargets& targets, const std::string& folder) {
  targets.add_folder("the history folder", folder,
                     report::any_of_names({std::string(report::history_species_file),
                                           std::string(report::history_abundance_file),
                                           std::string(report::history_run_file)}));
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
  record.outcome = app::outcome_of(run.simulation());
  app::write_run_record(path, record);
}

}  // namespace parasim::python
