#include "model/simulation.hpp"

#include <algorithm>
#include "model/initial_world.hpp"
#include "random/seeding.hpp"

namespace parasim::model {

namespace {

random::Generator::State seeded_state(std::int32_t ticks) {
  random::Generator generator;
  random::init_random_seed(generator, ticks);
  return generator.state();
}

}  // namespace

Simulation::Simulation(const Parameters& parameters, std::int32_t ticks)
    : parameters_(parameters),
      derived_(derive_values(parameters)),
      generator_(seeded_state(ticks)),
      mating_rules_{derived_.mate_threshold, random::EventThreshold(parameters.mutation_rate)},
      survival_rules_{random::EventThreshold(parameters.dispersal_prob), parameters.survival_sd},
      limits_{parameters.max_offspring, parameters.carrying_capacity},
      population_(parameters.genome_size),
      offspring_pool_(parameters.genome_size),
      remaining_(std::max(parameters.generations, 0)) {
  build_founders(population_, generator_);
  hosts_ = build_host_line(parameters_, derived_, population_.phenotype(0));
}

Simulation::Simulation(Checkpoint checkpoint)
    : parameters_(checkpoint.parameters),
      derived_(derive_values(parameters_)),
      generator_(checkpoint.generator),
      mating_rules_{derived_.mate_threshold, random::EventThreshold(parameters_.mutation_rate)},
      survival_rules_{random::EventThreshold(parameters_.dispersal_prob), parameters_.survival_sd},
      limits_{parameters_.max_offspring, parameters_.carrying_capacity},
      population_(std::move(checkpoint.population)),
      offspring_pool_(parameters_.genome_size),
      hosts_(std::move(checkpoint.hosts)),
      history_(std::move(checkpoint.species)),
      generation_(checkpoint.generation),
      remaining_(checkpoint.remaining) {}

Checkpoint Simulation::checkpoint() const {
  Checkpoint c;
  c.parameters = parameters_;
  c.generation = generation_;
  c.remaining = remaining_;
  c.species.assign(history_.species().begin(), history_.species().end());
  c.generator = generator_.state();
  c.population = population_;
  c.hosts = hosts_;
  return c;
}

void Simulation::label_species() {
  labeller_.label(population_.packed_genomes(), population_.species_ids(),
                  derived_.mate_threshold);
  history_.record_labelling(generation_, labeller_.births(), population_.species_ids(),
                            population_.host_ids());
}

void Simulation::report_if_due(ReportSink& sink) {
  if (generation_ == 1 || generation_ % report_interval == 0) {
    sink.report(generation_, population_, hosts_);
  }
}

void Simulation::breed_next_generation() {
  reproduce(population_, hosts_, limits_, mating_rules_, generator_, reproduction_buffers_,
            offspring_pool_);
  disperse_and_select(offspring_pool_, hosts_, survival_rules_, generator_, survivors_);
  regroup_by_host(offspring_pool_, survivors_, hosts_, next_slot_, population_);
  ++generation_;
  --remaining_;
}

}  // namespace parasim::model
