#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/generation_driver.hpp"
#include "model/species_genetics.hpp"
#include "report/appended_file.hpp"

namespace parasim::report {

// How far the two genetics tables of a history had got, for a checkpoint.
struct GeneticsMarks {
  FileMark divergence;
  FileMark groups;
  friend bool operator==(const GeneticsMarks&, const GeneticsMarks&) = default;
};

// The genetics of a run in its history folder (parasim --history DIR --genetics-every G):
// divergence.csv and groups.csv (history_layout.hpp), appended at generation 1 and every
// `every`-th generation right after the labelling, the moment of abundance.csv, from
// model::SpeciesGenetics. Reals in the shortest form that reads back to the same double. It
// follows the run as one of its observers, after the history that starts the folder.
class GeneticsFiles : public model::GenerationObserver {
 public:
  // Starts both tables in the folder, which the history has made. Throws OutputFailure.
  GeneticsFiles(const std::string& folder, std::int32_t every);

  // Goes on with the tables of an interrupted run, cut back to the marks, which the caller has
  // checked (check_genetics_marks). Throws OutputFailure.
  GeneticsFiles(const std::string& folder, std::int32_t every, const GeneticsMarks& marks);

  void after_labelling(const model::Simulation& simulation) override;

  void close();

  GeneticsMarks marks() const { return {divergence_.mark(), groups_.mark()}; }
  std::int32_t every() const { return every_; }

  // Whether the folder's tables begin with the bytes the marks describe (check_mark for each);
  // changes nothing. Throws OutputFailure.
  static void check_genetics_marks(const std::string& folder, const GeneticsMarks& marks);

 private:
  std::int32_t every_;
  AppendedFile divergence_;
  AppendedFile groups_;
  model::SpeciesGenetics genetics_;
  std::string buffer_;
};

}  // namespace parasim::report
