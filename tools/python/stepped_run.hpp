#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abundance_table.hpp"
#include "model/generation_driver.hpp"
#include "model/parameters.hpp"
#include "model/simulation.hpp"
#include "model/species_genetics.hpp"
#include "report/results_file.hpp"
#include "species/species_history.hpp"

namespace parasim::python {

// A run driven one generation at a time from Python. Between calls it stands where the
// results file looks at a generation: the generation that runs next has had its species
// labelled and has neither been reported nor bred. (After the last generation, or once no
// parasite is left, nothing is labelled: the survivors keep the labels their mates gave them.)
// Its generations run through the console program's generation driver, so the run draws the
// same deviates in the same order and, with a results file, writes the same bytes; its
// abundance table is one of the driver's observers, as the console program's history is.
class SteppedRun {
 public:
  // A new run from the answers (refused ones are the caller's to stop) and a tick count; with a
  // results path, the results file is created there and written as the run goes. Followers
  // are told of every generation after the run's own abundance table; they must outlive the
  // run.
  SteppedRun(const model::Parameters& parameters, std::int32_t tick_count,
             const std::optional<std::string>& results_path,
             const std::vector<model::GenerationObserver*>& followers = {});

  // Goes on from save()'s bytes or from a checkpoint file of the console program. With a
  // results path, that file must pass the console program's resume checks (a run that wrote
  // one, and the very file it wrote) and is cut back to where the state was taken. Throws
  // model::CheckpointError, app::ResumeRefused or report::OutputFailure.
  static std::unique_ptr<SteppedRun> restore(
      const std::string& bytes, const std::optional<std::string>& results_path,
      const std::vector<model::GenerationObserver*>& followers = {});

  // The rest of the generation that stands labelled (its report when due, reproduction,
  // dispersal and survival), then the labelling of the next one. Precondition: !finished().
  void step();

  bool finished() const { return simulation_->finished(); }
  // The generation that stands labelled; after the end, one past the last generation run.
  std::int32_t generation() const { return simulation_->generation(); }
  const model::Simulation& simulation() const { return *simulation_; }
  std::int32_t tick_count() const { return tick_count_; }
  const std::optional<std::string>& results_path() const { return results_path_; }
  // Every labelling's rows so far, in order of generation, species, host.
  const std::vector<AbundanceEntry>& abundance() const { return abundance_.rows(); }

  // The genetics of the population as it stands, as the history's genetics tables give them.
  model::SpeciesGenetics& genetics() { return genetics_; }

  // The whole state as bytes: the console program's checkpoint of the state before the
  // standing labelling, with the abundance table before it.
  std::string save() const;

  // Writes the results file of the generations run so far (those before generation()) to
  // path, put in place through report/placed_file.hpp: the bytes the console program writes
  // when stopped there. The run is played again from its seed, which takes as long as the
  // run so far. A path that is not a file target, or is the results file the run writes, is
  // refused. Throws report::TargetRefused or report::OutputFailure.
  void write_results(const std::string& path) const;

  // The genomes of the population as it stands, as genomes::write_genomes_vcf writes them;
  // refused like write_results.
  void write_vcf(const std::string& path) const;

 private:
  SteppedRun(std::unique_ptr<model::Simulation> simulation, std::int32_t tick_count,
             const std::optional<std::string>& results_path,
             std::unique_ptr<report::ResultsFile> results, std::vector<AbundanceEntry> abundance,
             const std::vector<model::GenerationObserver*>& followers);
  // Labels the generation that runs next, unless the run is over.
  void label_next();

  std::unique_ptr<model::Simulation> simulation_;
  std::int32_t tick_count_;
  std::optional<std::string> results_path_;
  std::unique_ptr<report::ResultsFile> results_;
  AbundanceTable abundance_;
  model::GenerationDriver driver_;
  model::SpeciesGenetics genetics_;

  // What the standing labelling changed, so that a saved state is one from between two
  // generations, as the console program's checkpoints are.
  std::vector<std::int32_t> labels_before_;
  std::vector<species::SpeciesRecord> species_before_;
  std::size_t abundance_before_ = 0;
};

}  // namespace parasim::python
