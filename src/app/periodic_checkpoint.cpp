#include "app/periodic_checkpoint.hpp"

#include "app/checkpoint_file.hpp"
#include "model/checkpoint.hpp"

namespace parasim::app {

void PeriodicCheckpoint::after_generation(const model::Simulation& simulation,
                                          const report::ResultsFile& results) {
  if (simulation.finished() || simulation.generations_run() % every_ != 0) {
    return;
  }
  write_file_atomically(path_, model::encode_checkpoint(
                                   simulation.checkpoint(tick_count_, results.length())));
}

}  // namespace parasim::app
