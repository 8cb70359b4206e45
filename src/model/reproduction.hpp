#pragma once

#include <cstdint>
#include <vector>

#include "model/host_table.hpp"
#include "model/mate_search.hpp"
#include "model/population.hpp"
#include "random/deferred_shuffle.hpp"
#include "species/genome_heads.hpp"

namespace parasim::model {

// What the reproduction phase reads besides the population.
struct ReproductionLimits {
  std::int32_t max_offspring;
  std::int32_t carrying_capacity;
};

// The orders and search aids of the reproduction phase, kept between generations so that an attempt
// never allocates.
struct ReproductionBuffers {
  random::DeferredShuffle parent_queue;
  random::DeferredShuffle mate_order;
  std::vector<std::int32_t> compatible;  // the rows a parent that found no mate could mate with
  species::GenomeHeads heads;            // the population's genome heads, by row
  std::vector<std::uint32_t> near;       // rows near a parent's genome
};

// Builds all children of one generation into pool, host by host in ascending host
// order. A host's residents are taken as parents in a random order (parent_queue);
// every attempt first draws a fresh order of the whole population (mate_order) and
// offers the parent its first resident_count entries as candidates. A parent that
// finds no mate is tried again in the next attempt; a host stops after
// carrying_capacity children or resident_count x max_offspring attempts. Draws from
// random::Generator or random::DeviateStream.
template <typename Source>
void reproduce(const Population& population, const HostTable& hosts,
               const ReproductionLimits& limits, const MatingRules& rules, Source& generator,
               ReproductionBuffers& buffers, Population& pool);

}  // namespace parasim::model
