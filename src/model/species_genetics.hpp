#pragma once

#include <cstdint>
#include <vector>

#include "model/simulation.hpp"
#include "species/mating_groups.hpp"
#include "species/species_divergence.hpp"

namespace parasim::model {

// The genetics of a run's population as it stands, by species of the species history: the
// divergence within and between species, and how each species falls into the mating groups
// (the groups out of each other's mating reach, at the run's mate-recognition threshold). Read
// right after a labelling, the moment the results file reports. The one source of the history's
// divergence and groups tables and of the Python module's. Keeps its buffers between calls.
class SpeciesGenetics {
 public:
  // One row for every pair of species present, species_a <= species_b, ordered by species_a,
  // then species_b.
  const std::vector<species::DivergenceRow>& divergence(const Simulation& simulation);
  // One row for every species present, ordered by species.
  const std::vector<species::SpeciesInGroups>& groups(const Simulation& simulation);

 private:
  void number_species(const Simulation& simulation);

  std::vector<std::int32_t> species_of_;  // by parasite: its species in the history
  species::SpeciesDivergence divergence_;
  species::MatingGroups groups_;
};

}  // namespace parasim::model
