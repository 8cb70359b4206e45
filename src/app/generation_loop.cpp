#include "app/generation_loop.hpp"

namespace parasim::app {

RunOutcome outcome_of(const model::Simulation& simulation) {
  RunOutcome outcome;
  outcome.generations_run = simulation.generations_run();
  outcome.final_population = static_cast<std::int64_t>(simulation.population().size());
  outcome.died_out = simulation.population().size() == 0;
  outcome.final_species = simulation.species_count();
  return outcome;
}

void run_generations(model::Simulation& simulation, report::ResultsFile& results,
                     std::span<GenerationObserver* const> observers) {
  while (!simulation.finished()) {
    simulation.run_generation(results);
    for (GenerationObserver* observer : observers) {
      observer->after_generation(simulation, results);
    }
  }
  for (GenerationObserver* observer : observers) {
    observer->after_run();
  }
}

}  // namespace parasim::app
