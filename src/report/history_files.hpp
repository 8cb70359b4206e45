#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/generation_driver.hpp"
#include "model/parameters.hpp"
#include "model/species_abundance.hpp"
#include "report/appended_file.hpp"
#include "report/history_layout.hpp"
#include "species/species_history.hpp"

namespace parasim::report {

// The species history of a run, in a folder of its own, written as the run goes:
// - species.csv: one row per species in order of origin (species, label, parent, born,
//   size_at_birth, last_seen, extant, birth_host, parent_host, host_shift), rewritten whole
//   after every labelling, by a rename, so that it is never seen half-written;
// - abundance.csv: after every labelling, one row per species and host with at least one
//   carrier (generation, species, label, host, host_phenotype, count, phenotype_mean,
//   phenotype_sd), appended;
// - run.json: the mark of the run (its seed and answers), written when the history is started
//   and checked when a run resumes it.
// species.csv and run.json are put in place through report/placed_file.hpp.
// Reals are written in the shortest form that reads back to the same double. It follows the
// run as one of its observers.
class HistoryFiles : public model::GenerationObserver {
 public:
  // Makes the folder when it is missing, writes the run's mark and starts both tables. Throws
  // TargetRefused or OutputFailure.
  HistoryFiles(const std::string& folder, std::int32_t tick_count,
               const model::Parameters& parameters);

  // Goes on with the history of an interrupted run: the folder's run.json must be this run's
  // (else OutputFailure other_run, or reopen when it cannot be read), then abundance.csv is cut
  // back to the mark, which the caller has checked (check_mark). Throws OutputFailure.
  HistoryFiles(const std::string& folder, std::int32_t tick_count,
               const model::Parameters& parameters, const FileMark& abundance);

  // Writes the rows of the generation just labelled and the species so far.
  void after_labelling(const model::Simulation& simulation) override;

  void close() { abundance_->close(); }

  FileMark abundance_mark() const { return abundance_->mark(); }

  // Where the abundance table of a history folder lies.
  static std::string abundance_path(const std::string& folder);

  // The run.json of a run: seed, answers and the digest of the answers.
  static std::string run_mark(std::int32_t tick_count, const model::Parameters& parameters);

 private:
  void write_species(const species::SpeciesHistory& history);

  std::string species_path_;
  std::optional<AppendedFile> abundance_;  // opened once the folder is found fit
  model::SpeciesAbundance counter_;
  std::string buffer_;
};

}  // namespace parasim::report
