#pragma once

#include <string>
#include <vector>

#include "model/generation_driver.hpp"
#include "model/report_sink.hpp"

namespace parasim::model::testing {

// Writes down everything a driver shows its observers and its report sink, one entry per
// call: what was called, the generation, the population and the species as they stood, and
// the generator's state, so that two ways of driving a run can be compared call by call.
class RecordingObserver : public GenerationObserver, public ReportSink {
 public:
  void after_labelling(const Simulation& simulation) override { note("labelled", simulation); }
  void after_generation(const Simulation& simulation) override { note("bred", simulation); }
  void report(std::int32_t generation, const Population& population, const HostTable&) override {
    calls.push_back("report " + std::to_string(generation) + " of " +
                    std::to_string(population.size()));
  }

  std::vector<std::string> calls;

 private:
  void note(const char* what, const Simulation& simulation) {
    calls.push_back(std::string(what) + " " + std::to_string(simulation.generation()) + " with " +
                    std::to_string(simulation.population().size()) + " in " +
                    std::to_string(simulation.species_count()) + " species, stream at " +
                    std::to_string(simulation.generator().state().x));
  }
};

}  // namespace parasim::model::testing
