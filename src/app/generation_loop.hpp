#pragma once

#include <cstdint>
#include <span>

#include "app/opened_run.hpp"
#include "model/simulation.hpp"

namespace parasim::app {

// Something that follows the run from one generation to the next: the progress line, the
// periodic checkpoint. It sees each generation right after its species are labelled (the
// moment the results file reports), the run's files after each generation, and the end.
class GenerationObserver {
 public:
  virtual ~GenerationObserver() = default;
  virtual void after_labelling(const model::Simulation& /*simulation*/) {}
  virtual void after_generation(const OpenedRun& /*run*/) {}
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

// Runs generations until the run is over (all requested run, or no parasite left): each
// generation's species labelled, its history recorded when the run keeps one, its report
// written when due, the next generation bred; the observers are told as it goes.
// Exceptions of the generation (a failed write, exhausted memory) pass through.
void run_generations(OpenedRun& run, std::span<GenerationObserver* const> observers);

}  // namespace parasim::app
