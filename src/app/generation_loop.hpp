#pragma once

#include <cstdint>
#include <span>

#include "model/simulation.hpp"
#include "report/results_file.hpp"

namespace parasim::app {

// Something that follows the run from one generation to the next: the progress line, the
// periodic checkpoint. It sees the world after each generation and when the loop ends.
class GenerationObserver {
 public:
  virtual ~GenerationObserver() = default;
  virtual void after_generation(const model::Simulation& simulation,
                                const report::ResultsFile& results) = 0;
  virtual void after_run() {}
};

// What a run leaves for its record.
struct RunOutcome {
  std::int32_t generations_run = 0;
  bool died_out = false;
  std::int64_t final_population = 0;
  std::int32_t final_species = 0;
};

// The outcome as the world stands now.
RunOutcome outcome_of(const model::Simulation& simulation);

// Runs generations until the run is over (all requested run, or no parasite left), with the
// reports going to results and each observer told after every generation and at the end.
// Exceptions of the generation (a failed write, exhausted memory) pass through.
void run_generations(model::Simulation& simulation, report::ResultsFile& results,
                     std::span<GenerationObserver* const> observers);

}  // namespace parasim::app
