#pragma once

#include <vector>

#include "model/report_sink.hpp"
#include "model/simulation.hpp"

namespace parasim::model {

// Something that follows a run from one generation to the next: the species history, the
// progress line, the periodic checkpoint, the genomes, the Python module's abundance table.
// Each is told of every generation twice, with the run as it stands.
class GenerationObserver {
 public:
  virtual ~GenerationObserver() = default;
  // simulation.generation() has just had its species labelled and is not yet reported or
  // bred: the moment the results file reports.
  virtual void after_labelling(const Simulation& /*simulation*/) {}
  // A generation has been bred; simulation.generation() is the next one, not yet labelled.
  virtual void after_generation(const Simulation& /*simulation*/) {}
};

// The one way a run's generations are run, by the console program and the Python module
// alike. A generation runs in two halves: label() labels its species and tells the observers;
// finish() writes its report when one is due, breeds the next generation and tells the
// observers. Between the halves the run stands labelled, as the Python module keeps it
// between calls; the console program runs both halves back to back.
class GenerationDriver {
 public:
  // results receives the reports, or is null for a run that writes none (reporting draws
  // nothing, so the run is the same). Observers are told in the order given. The simulation,
  // the sink and the observers must outlive the driver.
  GenerationDriver(Simulation& simulation, ReportSink* results,
                   std::vector<GenerationObserver*> observers);

  // Whether the run is over: all requested generations run, or no parasite left.
  bool finished() const { return simulation_.finished(); }
  // Whether the generation that runs next has been labelled and not yet finished.
  bool labelled() const { return labelled_; }

  // The first half of the generation that runs next. Precondition: !finished(), !labelled().
  void label();
  // The second half of the labelled generation. Precondition: labelled().
  void finish();

  // Runs the rest of the generation that runs next: both halves, or the second when it
  // stands labelled. Precondition: !finished().
  void run_generation();
  // Runs generations until the run is over.
  void run_to_end();

 private:
  Simulation& simulation_;
  ReportSink* results_;
  std::vector<GenerationObserver*> observers_;
  bool labelled_ = false;
};

}  // namespace parasim::model
