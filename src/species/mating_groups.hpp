#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/genome_groups.hpp"
#include "species/packed_genomes.hpp"

namespace parasim::species {

// How the parasites of one species fall into the mating groups of the population.
struct SpeciesInGroups {
  std::int32_t species = 0;
  std::int64_t parasites = 0;
  std::int64_t groups = 0;         // mating groups holding parasites of the species
  std::int64_t largest_group = 0;  // the most of its parasites in one mating group
  std::int64_t shared_groups = 0;  // its mating groups that hold parasites of another species too
};

// The mating groups of a population: the connected components of "genetic distance at most the
// mate-recognition threshold" over all its parasites. Two parasites of one group are joined by a
// chain of parasites each able to mate with the next; no parasite of one group can mate with a
// parasite of another, so genes never pass between groups. Unlike the clustering's clusters,
// which one sweep in storage order builds, a group is always a whole component, whatever the
// order of the parasites.
//
// Found by union-find over the distinct genomes (identical genomes lie at distance 0, in one
// group whenever the threshold is 0 or more): each genome is compared with the genomes after
// it, first by the loci of their heads (genome_heads.hpp, on the process's vector path), which
// rules out most pairs of far genomes, then by the rest of the genome. Keeps its buffers between
// calls.
class MatingGroups {
 public:
  // Finds the groups and tallies them by species: one row for every species present, ordered
  // by species. species_of[i] is the species (any whole number of 0 or more) of parasite i. A
  // negative threshold links nothing, not even identical genomes.
  // Precondition: species_of.size() == genomes.count.
  const std::vector<SpeciesInGroups>& measure(const PackedGenomes& genomes,
                                              std::span<const std::int32_t> species_of,
                                              std::int64_t threshold);

  // The number of mating groups found by the last call.
  std::size_t group_count() const { return group_count_; }
  // The group of each parasite (0 ... group_count() - 1), numbered in the order of their
  // lowest-numbered parasites.
  std::span<const std::int32_t> group_of() const { return group_of_; }

 private:
  void link_genomes(std::int64_t threshold);
  std::int32_t root(std::int32_t genome);
  void number_groups(const PackedGenomes& genomes, std::int64_t threshold);
  void tally_species(std::span<const std::int32_t> species_of);

  GenomeGroups distinct_;
  std::vector<std::int32_t> parent_;  // union-find over the distinct genomes
  std::vector<std::uint64_t> head_first_;
  std::vector<std::uint64_t> head_second_;
  std::vector<std::uint32_t> near_;
  std::vector<std::int32_t> root_number_;  // by root genome: its group, once met
  std::vector<std::int32_t> group_of_;
  std::size_t group_count_ = 0;
  std::vector<std::uint64_t> keys_;  // by parasite: species << 32 | group
  std::vector<std::int32_t> species_in_group_;
  std::vector<SpeciesInGroups> rows_;
};

}  // namespace parasim::species
