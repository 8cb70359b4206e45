#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "generation_tally.hpp"
#include "label_history.hpp"

namespace parasim::report_tool {

// The human summary of a results file: a table with the population and the number of species
// of each reported generation, written as each generation is read, then the totals, the new
// species and the species that died out.
class SummaryWriter : public GenerationObserver {
 public:
  SummaryWriter(std::ostream& out, std::string results_name);

  void generation_done(const GenerationTally& tally) override;
  void results_done() override;

 private:
  void write_appearances();
  void write_disappearances();

  std::ostream& out_;
  std::string results_name_;
  LabelHistory history_;
  std::int64_t first_generation_ = 0;
  std::uint64_t records_ = 0;
};

}  // namespace parasim::report_tool
