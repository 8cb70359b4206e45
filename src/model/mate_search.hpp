#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "model/population.hpp"
#include "random/deviate_stream.hpp"
#include "random/event_threshold.hpp"
#include "species/genome_heads.hpp"
#include "species/packed_genomes.hpp"

namespace parasim::model {

// What every mating attempt of a run shares.
struct MatingRules {
  std::int32_t mate_threshold;
  random::EventThreshold mutation;
};

// Builds the child's genome: loci 1 ... crossover_point from the mate, the rest from
// the parent, then one deviate per locus, in locus order, decides its mutation.
// Returns the number of loci set to 1.
template <typename Source>
std::int64_t recombine_and_mutate(const std::uint64_t* mate, const std::uint64_t* parent,
                                  std::int32_t genome_size, const MatingRules& rules,
                                  Source& generator, std::uint64_t* child) {
  const std::size_t words = species::words_for_loci(static_cast<std::size_t>(genome_size));
  // crossover_point = INT(genome_size * u + 1): 1 ... genome_size.
  // Without loci the crossover deviate is still drawn.
  std::uint32_t from_mate = 1;
  if (genome_size == 0) {
    generator.next_output();
  } else {
    from_mate = generator.next_index(static_cast<std::uint32_t>(genome_size)) + 1u;
  }
  std::int64_t ones = 0;
  for (std::size_t w = 0; w < words; ++w) {
    const std::size_t first_locus = w * 64;
    std::uint64_t mate_mask;
    if (from_mate >= first_locus + 64) {
      mate_mask = ~std::uint64_t{0};
    } else if (from_mate <= first_locus) {
      mate_mask = 0;
    } else {
      mate_mask = (std::uint64_t{1} << (from_mate - first_locus)) - 1;
    }
    const std::uint64_t word = (mate[w] & mate_mask) | (parent[w] & ~mate_mask);
    const std::size_t loci_here =
        std::min<std::size_t>(64, static_cast<std::size_t>(genome_size) - first_locus);
    child[w] = word ^ random::next_events(generator, loci_here, rules.mutation);
    ones += std::popcount(child[w]);
  }
  return ones;
}

// Builds the child of the parent in row parent_row and the mate in row mate_row in row
// child_row of pool: the mate's loci up to a crossover point and the parent's after it,
// each locus flipped by mutation, the mate's species and the parent's host; draws
// 1 + genome_size deviates from the generator (random::Generator or
// random::DeviateStream).
template <typename Source>
void build_child(const Population& population, std::size_t mate_row, std::size_t parent_row,
                 const MatingRules& rules, Source& generator, Population& pool,
                 std::size_t child_row) {
  const std::int64_t ones =
      recombine_and_mutate(population.genome(mate_row), population.genome(parent_row),
                           population.genome_size(), rules, generator, pool.genome(child_row));
  pool.species_id(child_row) = population.species_id(mate_row);
  pool.phenotype(child_row) = phenotype_of(ones);
  pool.host_id(child_row) = population.host_id(parent_row);
}

// The heads of the population's genomes by row, which the mate search compares first.
inline void take_heads(const Population& population, species::GenomeHeads& heads) {
  heads.clear();
  for (std::size_t row = 0; row < population.size(); ++row) {
    heads.push_back(population.genome(row), population.words_per_genome());
  }
}

// One reproduction attempt of the parent in row parent_row: the first of the
// leading candidate_count entries of mate_order (0-based rows; a vector, or a
// random::DeferredShuffle whose entries are worked out as they are read) whose genome
// differs from the parent's at no more than mate_threshold loci is the mate (the
// parent itself qualifies). Returns false, drawing nothing, when none qualifies.
// Otherwise builds their child in row child_row of pool (build_child). heads holds the
// population's genome heads (take_heads): most candidates of other species are set
// aside there, and only the others' genomes are read.
template <typename Order, typename Source>
bool offspring(const Population& population, const species::GenomeHeads& heads, Order&& mate_order,
               std::size_t parent_row, std::int32_t candidate_count, const MatingRules& rules,
               Source& generator, Population& pool, std::size_t child_row) {
  const std::size_t words = population.words_per_genome();
  const std::uint64_t* parent = population.genome(parent_row);
  const species::Head head = species::head_of(parent, words);
  const std::size_t skip = std::min(words, species::head_words);
  for (std::int32_t i = 0; i < candidate_count; ++i) {
    const auto candidate = static_cast<std::size_t>(mate_order[static_cast<std::size_t>(i)]);
    const std::int64_t head_distance = heads.head_distance(candidate, head);
    if (head_distance <= rules.mate_threshold &&
        species::within_distance(parent + skip, population.genome(candidate) + skip, words - skip,
                                 rules.mate_threshold - head_distance)) {
      build_child(population, candidate, parent_row, rules, generator, pool, child_row);
      return true;
    }
  }
  return false;
}

}  // namespace parasim::model
