#include "model/species_genetics.hpp"

#include "model/allocation_failure.hpp"

namespace parasim::model {

void SpeciesGenetics::number_species(const Simulation& simulation) {
  const Population& population = simulation.population();
  allocate("species genetics", [&] { species_of_.resize(population.size()); });
  for (std::size_t row = 0; row < population.size(); ++row) {
    species_of_[row] = simulation.history().species_of_label(population.species_id(row));
  }
}

const std::vector<species::DivergenceRow>& SpeciesGenetics::divergence(
    const Simulation& simulation) {
  number_species(simulation);
  const std::vector<species::DivergenceRow>* rows = nullptr;
  allocate("species divergence", [&] {
    rows = &divergence_.measure(simulation.population().packed_genomes(), species_of_);
  });
  return *rows;
}

const std::vector<species::SpeciesInGroups>& SpeciesGenetics::groups(const Simulation& simulation) {
  number_species(simulation);
  const std::vector<species::SpeciesInGroups>* rows = nullptr;
  allocate("mating groups", [&] {
    rows = &groups_.measure(simulation.population().packed_genomes(), species_of_,
                            simulation.derived().mate_threshold);
  });
  return *rows;
}

}  // namespace parasim::model
