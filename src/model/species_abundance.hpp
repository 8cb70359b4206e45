#pragma once

#include <cstdint>
#include <vector>

#include "model/host_table.hpp"
#include "model/population.hpp"
#include "species/species_history.hpp"

namespace parasim::model {

// The parasites of one species on one host at one moment, with the mean and the standard
// deviation (divisor n) of their phenotypes.
struct AbundanceRow {
  std::int32_t species = 0;
  std::int32_t label = 0;
  std::int32_t host = 0;
  double host_phenotype = 0.0;
  std::int64_t count = 0;
  double phenotype_mean = 0.0;
  double phenotype_sd = 0.0;
};

// Counts the population by species and host, right after a labelling: one row for every
// species and host with at least one carrier, ordered by species, then host. Sums run over
// the parasites in population order, so the same population gives the same bits.
class SpeciesAbundance {
 public:
  const std::vector<AbundanceRow>& count(const Population& population, const HostTable& hosts,
                                         const species::SpeciesHistory& history);

 private:
  std::vector<std::uint64_t> keys_;  // by parasite: species << 32 | host
  std::vector<std::uint32_t> order_;
  std::vector<AbundanceRow> rows_;
};

}  // namespace parasim::model
