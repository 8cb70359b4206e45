#pragma once

#include <cstdint>
#include <span>

#include "app/opened_run.hpp"
#include "model/generation_driver.hpp"
#include "model/simulation.hpp"

namespace parasim::app {

// What a run leaves for its record.
struct RunOutcome {
  std::int32_t generations_run = 0;
  bool died_out = false;
  std::int64_t final_population = 0;
  std::int32_t final_species = 0;
};

// The outcome as the world stands now.
RunOutcome outcome_of(const model::Simulation& simulation);

// Runs generations until the run is over (all requested run, or no parasite left), each
// through the generation driver: its species labelled, its history (and genetics) recorded
// when the run keeps one, the other observers told, its report written when due, the next
// generation bred, the observers told again. Exceptions of the generation (a failed write,
// exhausted memory) pass through.
void run_generations(OpenedRun& run, std::span<model::GenerationObserver* const> observers);

}  // namespace parasim::app
