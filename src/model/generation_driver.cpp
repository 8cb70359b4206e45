#include "model/generation_driver.hpp"

#include <stdexcept>

namespace parasim::model {

GenerationDriver::GenerationDriver(Simulation& simulation, ReportSink* results,
                                   std::vector<GenerationObserver*> observers)
    : simulation_(simulation), results_(results), observers_(std::move(observers)) {}

void GenerationDriver::label() {
  if (labelled_ || simulation_.finished()) {
    throw std::logic_error("a generation is labelled only once, and only while the run goes on");
  }
  simulation_.label_species();
  labelled_ = true;
  for (GenerationObserver* observer : observers_) {
    observer->after_labelling(simulation_);
  }
}

void GenerationDriver::finish() {
  if (!labelled_) {
    throw std::logic_error("a generation is finished only after its labelling");
  }
  if (results_ != nullptr) {
    simulation_.report_if_due(*results_);
  }
  simulation_.breed_next_generation();
  labelled_ = false;
  for (GenerationObserver* observer : observers_) {
    observer->after_generation(simulation_);
  }
}

void GenerationDriver::run_generation() {
  if (!labelled_) {
    label();
  }
  finish();
}

void GenerationDriver::run_to_end() {
  while (!simulation_.finished()) {
    run_generation();
  }
}

}  // namespace parasim::model
