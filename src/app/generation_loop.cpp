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

void run_generations(OpenedRun& run, std::span<GenerationObserver* const> observers) {
  model::Simulation& simulation = *run.simulation;
  while (!simulation.finished()) {
    simulation.label_species();
    if (run.history) {
      run.history->record(simulation.generation(), simulation.population(), simulation.hosts(),
                          simulation.history());
    }
    for (GenerationObserver* observer : observers) {
      observer->after_labelling(simulation);
    }
    simulation.report_if_due(*run.results);
    simulation.breed_next_generation();
    for (GenerationObserver* observer : observers) {
      observer->after_generation(run);
    }
  }
  for (GenerationObserver* observer : observers) {
    observer->after_run();
  }
}

}  // namespace parasim::app
