#pragma once

#include "model/parameters.hpp"

namespace parasim::model::testing {

// Four hosts of capacity 40 and a population that evolves, splits and spreads within a
// few dozen generations: small enough to check every generation.
inline Parameters small_world(std::int32_t genome_size, double mutation_rate,
                              std::int32_t generations) {
  Parameters p;
  p.genome_size = genome_size;
  p.max_differentiation = 0.1;
  p.mutation_rate = mutation_rate;
  p.max_offspring = 2;
  p.dispersal_prob = 0.2;
  p.host_count = 4;
  p.host_distance = 1.0;
  p.carrying_capacity = 40;
  p.survival_sd = 1.0;
  p.generations = generations;
  return p;
}

}  // namespace parasim::model::testing
