#pragma once

#include <cstdint>
#include <string>

#include "model/generation_driver.hpp"
#include "report/genetics_files.hpp"
#include "report/history_files.hpp"
#include "report/results_file.hpp"

namespace parasim::app {

// Writes the run file (run_file.hpp) every `every` generations (not after the last one),
// atomically, so that a crash leaves the previous checkpoint whole: the state, the run's tick
// count and genomes cadence, and how far its results file, history and genetics tables had got.
class PeriodicCheckpoint : public model::GenerationObserver {
 public:
  // history and genetics are null for a run without them; genomes_every is 0 for a run without
  // genomes.
  PeriodicCheckpoint(std::string path, std::int32_t every, std::int32_t tick_count,
                     std::int32_t genomes_every, const report::ResultsFile& results,
                     const report::HistoryFiles* history, const report::GeneticsFiles* genetics)
      : path_(std::move(path)),
        every_(every),
        tick_count_(tick_count),
        genomes_every_(genomes_every),
        results_(results),
        history_(history),
        genetics_(genetics) {}

  void after_generation(const model::Simulation& simulation) override;

 private:
  std::string path_;
  std::int32_t every_;
  std::int32_t tick_count_;
  std::int32_t genomes_every_;
  const report::ResultsFile& results_;
  const report::HistoryFiles* history_;
  const report::GeneticsFiles* genetics_;
};

}  // namespace parasim::app
