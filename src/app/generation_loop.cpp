#include "app/generation_loop.hpp"

#include <vector>

namespace parasim::app {

void LastGenerationCount::after_labelling(const model::Simulation& simulation) {
  labelled_ = static_cast<std::int64_t>(simulation.population().size());
}

void LastGenerationCount::after_generation(const model::Simulation& /*simulation*/) {
  count_ = labelled_;
}

RunOutcome outcome_of(const model::Simulation& simulation,
                      std::optional<std::int64_t> last_generation_population) {
  RunOutcome outcome;
  outcome.generations_run = simulation.generations_run();
  outcome.last_generation_population = last_generation_population;
  outcome.final_population = static_cast<std::int64_t>(simulation.population().size());
  outcome.died_out = simulation.population().size() == 0;
  outcome.final_species = simulation.species_count();
  return outcome;
}

void run_generations(OpenedRun& run, std::span<model::GenerationObserver* const> observers) {
  // The history comes first, with its genetics: a generation is in it before anything else
  // looks at it.
  std::vector<model::GenerationObserver*> watching;
  if (run.history) {
    watching.push_back(run.history.get());
  }
  if (run.genetics) {
    watching.push_back(run.genetics.get());
  }
  watching.insert(watching.end(), observers.begin(), observers.end());
  model::GenerationDriver driver(*run.simulation, run.results.get(), std::move(watching));
  driver.run_to_end();
}

}  // namespace parasim::app
