#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "species/species_label_pass.hpp"

namespace parasim::species {

// One species of a run. Species are numbered 1, 2, ... in order of origin: 1 is the founders'
// species; within one labelling call, new species are numbered in the order their labels are
// issued. A label issued again after its species died out starts a new species.
struct SpeciesRecord {
  std::int32_t species = 0;
  std::int32_t label = 0;          // the label it carries in the results file
  std::int32_t parent = 0;         // the species in whose label's turn it was issued; 0 for 1
  std::int32_t born = 0;           // the generation whose labelling issued its label
  std::int32_t size_at_birth = 0;  // parasites that received the label in that call
  std::int32_t last_seen = 0;      // the last generation whose labelling left it a carrier
  bool extant = false;             // whether the last labelling left it a carrier
  // The host holding most of its parasites right after the labelling that issued its label (the
  // lower host number on a tie), and the same for its parent's parasites then; 0 where there is
  // none (no parent) or it is not known (a species of a run resumed from a checkpoint written
  // before these were kept).
  std::int32_t birth_host = 0;
  std::int32_t parent_host = 0;

  // Whether it arose mainly on another host than its parent's then; only when both are known.
  bool hosts_known() const { return birth_host != 0 && parent_host != 0; }
  bool host_shift() const { return hosts_known() && birth_host != parent_host; }
};

// Who split from whom, from every labelling of the run: the founders' species, then each
// fresh label issued in the turn of an older label (a daughter of that label's species), and
// the end of each species whose label no labelling leaves on any parasite.
class SpeciesHistory {
 public:
  SpeciesHistory() = default;
  // Goes on from the species of an earlier part of the run, as a checkpoint holds them.
  explicit SpeciesHistory(std::vector<SpeciesRecord> species);

  // The labelling of generation `generation` issued `births`, and left the parasites with
  // `labels` (every parasite's label after the call) on `hosts` (every parasite's host, 1 or
  // more). The first call founds species 1 from the carriers of label 1.
  // Precondition: labels.size() == hosts.size().
  void record_labelling(std::int32_t generation, std::span<const SpeciesBirth> births,
                        std::span<const std::int32_t> labels, std::span<const std::int32_t> hosts);

  // Every species so far, in order of origin (species s at index s - 1).
  std::span<const SpeciesRecord> species() const { return species_; }

  // The species now carrying label, or 0 when no extant species carries it.
  std::int32_t species_of_label(std::int32_t label) const;
  // The label of a species, or 0 for a number that is no species.
  std::int32_t label_of(std::int32_t species) const {
    return species >= 1 && static_cast<std::size_t>(species) <= species_.size()
               ? species_[static_cast<std::size_t>(species) - 1].label
               : 0;
  }

  // How many species the last labelling left with carriers: the distinct labels carried.
  std::int32_t extant_count() const { return extant_count_; }

 private:
  // The host holding most carriers of each of the labels in main_host_labels_ (the lower host on
  // a tie; 0 for a label without carriers), into main_host_.
  void find_main_hosts(std::span<const std::int32_t> labels, std::span<const std::int32_t> hosts);
  std::int32_t main_host_of(std::int32_t label) const;

  std::vector<SpeciesRecord> species_;
  std::vector<std::int32_t> species_by_label_;  // by label: the extant species, 0 for none
  std::vector<std::int32_t> carriers_;          // by label: carriers after the last labelling
  std::int32_t extant_count_ = 0;
  std::vector<std::int32_t> main_host_labels_;
  std::vector<std::int32_t> main_host_;
  std::vector<std::int64_t> host_tally_;  // by label of interest and host
};

}  // namespace parasim::species
