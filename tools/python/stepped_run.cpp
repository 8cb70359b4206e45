#include "stepped_run.hpp"

#include <stdexcept>

#include "report/genomes_vcf.hpp"
#include "report/placed_file.hpp"
#include "saved_run.hpp"

namespace parasim::python {

SteppedRun::SteppedRun(std::unique_ptr<model::Simulation> simulation, std::int32_t tick_count)
    : simulation_(std::move(simulation)), tick_count_(tick_count) {}

SteppedRun::SteppedRun(const model::Parameters& parameters, std::int32_t tick_count,
                       const std::optional<std::string>& results_path)
    : SteppedRun(std::make_unique<model::Simulation>(parameters, tick_count), tick_count) {
  if (results_path) {
    results_ = std::make_unique<report::ResultsFile>(*results_path);
    results_path_ = results_path;
  }
  label_next();
}

std::unique_ptr<SteppedRun> SteppedRun::restore(const std::string& bytes,
                                                const std::optional<std::string>& results_path) {
  SavedRun saved = decode_saved_run(bytes);
  const model::FileMark results_mark = saved.checkpoint.results;
  const std::int32_t tick_count = saved.checkpoint.tick_count;
  if (results_path) {
    // A results file always holds its header, so a state with an empty mark had none.
    if (results_mark.length == 0) {
      throw std::invalid_argument(
          "the simulation was saved without a results file, so there is none to go on writing");
    }
    report::check_mark(*results_path, results_mark);
  }
  std::unique_ptr<SteppedRun> run(new SteppedRun(
      std::make_unique<model::Simulation>(std::move(saved.checkpoint)), tick_count));
  run->abundance_ = std::move(saved.abundance);
  if (results_path) {
    run->results_ = std::make_unique<report::ResultsFile>(*results_path, results_mark);
    run->results_path_ = results_path;
  }
  run->label_next();
  return run;
}

void SteppedRun::label_next() {
  labelled_ = false;
  if (simulation_->finished()) {
    return;
  }
  const model::Population& population = simulation_->population();
  labels_before_.assign(population.species_ids().begin(), population.species_ids().end());
  const auto species = simulation_->history().species();
  species_before_.assign(species.begin(), species.end());
  abundance_before_ = abundance_.size();

  simulation_->label_species();
  for (const model::AbundanceRow& row :
       counter_.count(simulation_->population(), simulation_->hosts(), simulation_->history())) {
    abundance_.push_back({simulation_->generation(), row});
  }
  labelled_ = true;
}

void SteppedRun::step() {
  // Reporting draws nothing, so a run without a results file skips it.
  if (results_) {
    simulation_->report_if_due(*results_);
  }
  simulation_->breed_next_generation();
  if (simulation_->finished() && results_) {
    results_->close();
  }
  label_next();
}

std::string SteppedRun::save() const {
  const model::FileMark results_mark = results_ ? results_->mark() : model::FileMark{};
  model::Checkpoint checkpoint = simulation_->checkpoint(tick_count_, results_mark, std::nullopt);
  std::size_t abundance_rows = abundance_.size();
  if (labelled_) {
    for (std::size_t row = 0; row < labels_before_.size(); ++row) {
      checkpoint.population.species_id(row) = labels_before_[row];
    }
    checkpoint.species = species_before_;
    abundance_rows = abundance_before_;
  }
  return encode_saved_run(checkpoint, std::span(abundance_.data(), abundance_rows));
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
    while (replay.generations_run() < simulation_->generations_run()) {
      replay.run_generation(file);
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
