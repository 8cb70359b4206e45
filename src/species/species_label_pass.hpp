#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "species/carrier_tally.hpp"
#include "species/sortc.hpp"

namespace parasim::species {

// The least tally with which a cluster outside the first row of a turn becomes a new
// species; a tally of 10 is not enough.
inline constexpr std::int32_t min_species_size = 11;

// A species split off in one labelling call: its fresh label, the label in whose turn it was
// issued (the species it split from), and how many parasites received it.
struct SpeciesBirth {
  std::int32_t label = 0;
  std::int32_t parent_label = 0;
  std::int32_t size = 0;
};

// Carries the species labels over to this generation's clusters. One turn per label
// s = 1 ... max_old_label, in ascending order: the cluster holding most current
// carriers of s (the lowest-numbered on a tie) takes s for all its members, and every
// other cluster holding at least min_species_size of them takes a fresh label, issued
// from max_old_label + 1 upward in the row order that sortc leaves.
//
// Labels change for whole clusters only, and a relabelled cluster carries s or a fresh
// label, which no later turn counts; so a turn sees exactly the entry carriers of s in
// clusters not yet relabelled, and turns for labels nobody carries change nothing and
// are skipped. When no fresh label is left below 2^31, a cluster that would split keeps
// its labels instead.
class SpeciesLabelPass {
 public:
  // Precondition: cluster_of and species_id have one entry per parasite, at least
  // one, and cluster_of holds 1 ... cluster_count.
  void relabel(std::span<const std::int32_t> cluster_of, std::int32_t cluster_count,
               std::span<std::int32_t> species_id);

  // The species split off by the last call, in the order their labels were issued.
  std::span<const SpeciesBirth> births() const { return births_; }

 private:
  CarrierTally carrier_tally_;
  std::vector<std::int32_t> new_label_;  // by cluster; 0 while the cluster keeps its labels
  std::vector<TallyRow> rows_;
  std::vector<SpeciesBirth> births_;
  std::vector<std::int32_t> birth_cluster_;  // by birth: the cluster that received the label
  std::vector<std::int32_t> cluster_size_;
};

}  // namespace parasim::species
