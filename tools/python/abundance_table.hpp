#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/generation_driver.hpp"
#include "model/species_abundance.hpp"

namespace parasim::python {

// One row of the abundance table: the parasites of one species on one host right after the
// labelling of `generation`.
struct AbundanceEntry {
  std::int32_t generation = 0;
  model::AbundanceRow row;
};

// The species history's abundance table of a run driven from Python, kept in memory: every
// labelling's rows, in order of generation, species, host, as the console program's history
// writes them to abundance.csv.
class AbundanceTable : public model::GenerationObserver {
 public:
  AbundanceTable() = default;
  // Goes on from the rows of an earlier part of the run.
  explicit AbundanceTable(std::vector<AbundanceEntry> rows) : rows_(std::move(rows)) {}

  void after_labelling(const model::Simulation& simulation) override {
    for (const model::AbundanceRow& row :
         counter_.count(simulation.population(), simulation.hosts(), simulation.history())) {
      rows_.push_back({simulation.generation(), row});
    }
  }

  const std::vector<AbundanceEntry>& rows() const { return rows_; }

 private:
  model::SpeciesAbundance counter_;
  std::vector<AbundanceEntry> rows_;
};

}  // namespace parasim::python
