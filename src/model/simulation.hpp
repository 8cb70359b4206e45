#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/checkpoint.hpp"
#include "model/host_table.hpp"
#include "model/mate_search.hpp"
#include "model/parameters.hpp"
#include "model/population.hpp"
#include "model/report_sink.hpp"
#include "model/reproduction.hpp"
#include "model/survival.hpp"
#include "random/deviate_stream.hpp"
#include "species/species.hpp"
#include "species/species_history.hpp"

namespace parasim::model {

// One run of the model: the world built from the parameters and a tick count, and
// the generation cycle run one generation at a time.
class Simulation {
 public:
  // Builds the initial world: seeds the generator from ticks, makes the three
  // founders and the host line. Precondition: parameter_refusal(parameters) is empty.
  Simulation(const Parameters& parameters, std::int32_t ticks);

  // Goes on from a checkpoint, exactly as the run that wrote it would have.
  explicit Simulation(Checkpoint checkpoint);

  // The state between two generations, for a checkpoint.
  Checkpoint checkpoint() const;

  // Whether the run is over: all requested generations run, or no parasite left.
  bool finished() const { return remaining_ == 0 || population_.size() == 0; }

  // The phases of one generation, in their order: species labelling, the report when one is
  // due (generation 1 and every tenth), then reproduction, dispersal and survival and the
  // regrouping by host. GenerationDriver runs them, with the run's observers between them.
  void label_species();
  void report_if_due(ReportSink& sink);
  void breed_next_generation();

  // The number of the generation that runs next (1 before the first).
  std::int32_t generation() const { return generation_; }
  std::int32_t generations_run() const { return generation_ - 1; }
  // The number of distinct species labels at the last labelling (0 before it).
  std::int32_t species_count() const { return history_.extant_count(); }
  // Every species of the run so far: who split from whom, when, and which are extant.
  const species::SpeciesHistory& history() const { return history_; }
  // The species split off by the last labelling, in the order their labels were issued.
  std::span<const species::SpeciesBirth> births() const { return labeller_.births(); }

  const Parameters& parameters() const { return parameters_; }
  const DerivedValues& derived() const { return derived_; }
  const Population& population() const { return population_; }
  const HostTable& hosts() const { return hosts_; }
  // The run's stream of deviates; its state() is the generator's state after the
  // deviates drawn so far.
  const random::DeviateStream& generator() const { return generator_; }

 private:
  Parameters parameters_;
  DerivedValues derived_;
  random::DeviateStream generator_;
  MatingRules mating_rules_;
  SurvivalRules survival_rules_;
  ReproductionLimits limits_;

  Population population_;
  Population offspring_pool_;
  HostTable hosts_;
  ReproductionBuffers reproduction_buffers_;
  std::vector<std::uint32_t> survivors_;
  std::vector<std::size_t> next_slot_;
  species::SpeciesLabeller labeller_;
  species::SpeciesHistory history_;

  std::int32_t generation_ = 1;
  std::int32_t remaining_ = 0;
};

}  // namespace parasim::model
