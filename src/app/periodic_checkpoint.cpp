#include "app/periodic_checkpoint.hpp"

#include "app/run_file.hpp"
#include "report/placed_file.hpp"

namespace parasim::app {

void PeriodicCheckpoint::after_generation(const model::Simulation& simulation) {
  if (simulation.finished() || simulation.generations_run() % every_ != 0) {
    return;
  }
  RunFile run_file;
  run_file.state = simulation.checkpoint();
  run_file.tick_count = tick_count_;
  run_file.results = results_.mark();
  if (history_ != nullptr) {
    run_file.abundance = history_->abundance_mark();
  }
  run_file.genomes_every = genomes_every_;
  if (genetics_ != nullptr) {
    run_file.genetics = GeneticsProgress{genetics_->every(), genetics_->marks()};
  }
  report::place_file("the checkpoint", path_, encode_run_file(run_file));
}

}  // namespace parasim::app
