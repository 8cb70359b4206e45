#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "app/opened_run.hpp"
#include "model/generation_driver.hpp"
#include "model/simulation.hpp"

namespace parasim::app {

// What a run leaves for its record.
struct RunOutcome {
  std::int32_t generations_run = 0;
  bool died_out = false;
  // The parasites at the start of the last generation run, after its labelling: the count the
  // history's last generation adds up to. Nothing when no generation has run (0 requested, or a
  // run that failed in its first).
  std::optional<std::int64_t> last_generation_population;
  // The survivors of the last generation run: the next generation's parasites, never labelled;
  // 0 when the population died out. Before any generation, the founders.
  std::int64_t final_population = 0;
  // The species of the last labelling (0 before it).
  std::int32_t final_species = 0;
};

// Notes the parasites of each generation at its labelling, and keeps the count once the
// generation has been run through: a generation cut short by a failure is not one run.
class LastGenerationCount : public model::GenerationObserver {
 public:
  void after_labelling(const model::Simulation& simulation) override;
  void after_generation(const model::Simulation& simulation) override;
  std::optional<std::int64_t> count() const { return count_; }

 private:
  std::int64_t labelled_ = 0;
  std::optional<std::int64_t> count_;
};

// The outcome as the world stands now, with the parasites of the last generation run (nothing
// when none has run).
RunOutcome outcome_of(const model::Simulation& simulation,
                      std::optional<std::int64_t> last_generation_population);

// Runs generations until the run is over (all requested run, or no parasite left), each
// through the generation driver: its species labelled, its history (and genetics) recorded
// when the run keeps one, the other observers told, its report written when due, the next
// generation bred, the observers told again. Exceptions of the generation (a failed write,
// exhausted memory) pass through.
void run_generations(OpenedRun& run, std::span<model::GenerationObserver* const> observers);

}  // namespace parasim::app
