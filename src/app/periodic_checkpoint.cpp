#include "app/periodic_checkpoint.hpp"

#include "model/checkpoint.hpp"
#include "report/placed_file.hpp"

namespace parasim::app {

void PeriodicCheckpoint::after_generation(const OpenedRun& run) {
  const model::Simulation& simulation = *run.simulation;
  if (simulation.finished() || simulation.generations_run() % every_ != 0) {
    return;
  }
  std::optional<model::FileMark> abundance;
  if (run.history) {
    abundance = run.history->abundance_mark();
  }
  report::place_file(
      "the checkpoint", path_,
      model::encode_checkpoint(simulation.checkpoint(tick_count_, run.results->mark(), abundance)));
}

}  // namespace parasim::app
