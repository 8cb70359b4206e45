#include "stepped_run.hpp"

#include "app/resume_checks.hpp"
#include "report/genomes_vcf.hpp"
#include "report/placed_file.hpp"
#include "saved_run.hpp"

namespace parasim::python {

namespace {

std::vector<model::GenerationObserver*> observers_of(
    AbundanceTable& abundance, const std::vector<model::GenerationObserver*>& followers) {
  std::vector<model::GenerationObserver*> observers{&abundance};
  observers.insert(observers.end(), followers.begin(), followers.end());
  return observers;
}

std::unique_ptr<report::ResultsFile> new_results_file(
    const std::optional<std::string>& results_path) {
  return results_path ? std::make_unique<report::ResultsFile>(*results_path) : nullptr;
}

}  // namespace

SteppedRun::SteppedRun(std::unique_ptr<model::Simulation> simulation, std::int32_t tick_count,
                       const std::optional<std::string>& results_path,
                       std::unique_ptr<report::ResultsFile> results,
                       std::vector<AbundanceEntry> abundance,
                       const std::vector<model::GenerationObserver*>& followers)
    : simulation_(std::move(simulation)),
      tick_count_(tick_count),
      results_path_(results_path),
      results_(std::move(results)),
      abundance_(std::move(abundance)),
      driver_(*simulation_, results_.get(), observers_of(abundance_, followers)) {
  label_next();
}

SteppedRun::SteppedRun(const model::Parameters& parameters, std::int32_t tick_count,
                       const std::optional<std::string>& results_path,
                       const std::vector<model::GenerationObserver*>& followers)
    : SteppedRun(std::make_unique<model::Simulation>(parameters, tick_count), tick_count,
                 results_path, new_results_file(results_path), {}, followers) {}

std::unique_ptr<SteppedRun> SteppedRun::restore(
    const std::string& bytes, const std::optional<std::string>& results_path,
    const std::vector<model::GenerationObserver*>& followers) {
  SavedRun saved = decode_saved_run(bytes);
  app::check_resumed_outputs("the saved simulation", saved.run_file,
                             {results_path, std::nullopt, std::nullopt, std::nullopt});
  std::unique_ptr<report::ResultsFile> results;
  if (results_path) {
    results = std::make_unique<report::ResultsFile>(*results_path, saved.run_file.results);
  }
  return std::unique_ptr<SteppedRun>(
      new SteppedRun(std::make_unique<model::Simulation>(std::move(saved.run_file.state)),
                     saved.run_file.tick_count, results_path, std::move(results),
                     std::move(saved.abundance), followers));
}

void SteppedRun::label_next() {
  if (simulation_->finished()) {
    return;
  }
  const model::Population& population = simulation_->population();
  labels_before_.assign(population.species_ids().begin(), population.species_ids().end());
  const auto species = simulation_->history().species();
  species_before_.assign(species.begin(), species.end());
  abundance_before_ = abundance_.rows().size();
  driver_.label();
}

void SteppedRun::step() {
  driver_.finish();
  if (simulation_->finished() && results_) {
    results_->close();
  }
  label_next();
}

std::string SteppedRun::save() const {
  app::RunFile run_file;
  run_file.state = simulation_->checkpoint();
  run_file.tick_count = tick_count_;
  if (results_) {
    run_file.results = results_->mark();
  }
  std::size_t abundance_rows = abundance_.rows().size();
  if (driver_.labelled()) {
    for (std::size_t row = 0; row < labels_before_.size(); ++row) {
      run_file.state.population.species_id(row) = labels_before_[row];
    }
    run_file.state.species = species_before_;
    abundance_rows = abundance_before_;
  }
  return encode_saved_run(run_file, std::span(abundance_.rows().data(), abundance_rows));
}

void SteppedRun::write_results(const std::string& path) const {
  report::OutputTargets targets;
  if (results_path_) {
    targets.add_compared_file("the results file the run writes", *results_path_);
  }
  targets.add_file("the results file", path);
  targets.check();
  report::PlacedFile placed("the results file", path);
  try {
    report::ResultsFile file(placed.temporary());
    model::Simulation replay(simulation_->parameters(), tick_count_);
    model::GenerationDriver driver(replay, &file, {});
    while (replay.generations_run() < simulation_->generations_run()) {
      driver.run_generation();
    }
    file.close();
  } catch (const report::OutputFailure& failure) {
    // Named by the file asked for, not the temporary one.
    throw report::OutputFailure(failure.operation(), path, failure.error());
  }
  placed.commit();
}

void SteppedRun::write_vcf(const std::string& path) const {
  report::OutputTargets targets;
  if (results_path_) {
    targets.add_compared_file("the results file the run writes", *results_path_);
  }
  genomes::add_genomes_targets(targets, path);
  targets.check();
  genomes::write_genomes_vcf(path, simulation_->generation(), simulation_->population(),
                             simulation_->history());
}

}  // namespace parasim::python
