#pragma once

#include <cstdint>
#include <span>

#include "model/population.hpp"
#include "random/event_threshold.hpp"
#include "random/generator.hpp"

namespace parasim::model {

// What every mating attempt of a run shares.
struct MatingRules {
  std::int32_t mate_threshold;
  random::EventThreshold mutation;
};

// One reproduction attempt of the parent in row parent_row: the first of the
// leading candidate_count entries of mate_order (0-based rows) whose genome
// differs from the parent's at no more than mate_threshold loci is the mate (the
// parent itself qualifies). Returns false, drawing nothing, when none qualifies.
// Otherwise builds the child in row child_row of pool: the mate's loci up to a
// crossover point and the parent's after it, each locus flipped by mutation, the
// mate's species and the parent's host; the child draws 1 + genome_size deviates.
bool offspring(const Population& population, std::span<const std::int32_t> mate_order,
               std::size_t parent_row, std::int32_t candidate_count, const MatingRules& rules,
               random::Generator& generator, Population& pool, std::size_t child_row);

}  // namespace parasim::model
