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
  // `labels` (every parasite's label after the call). The first call founds species 1 from
  // the carriers of label 1.
  void record_labelling(std::int32_t generation, std::span<const SpeciesBirth> births,
                        std::span<const std::int32_t> labels);

  // Every species so far, in order of origin (species s at index s - 1).
  std::span<const SpeciesRecord> species() const { return species_; }

  // The species now carrying label, or 0 when no extant species carries it.
  std::int32_t species_of_label(std::int32_t label) const;

  // How many species the last labelling left with carriers: the distinct labels carried.
  std::int32_t extant_count() const { return extant_count_; }

 private:
  std::vector<SpeciesRecord> species_;
  std::vector<std::int32_t> species_by_label_;  // by label: the extant species, 0 for none
  std::vector<std::int32_t> carriers_;          // by label: carriers after the last labelling
  std::int32_t extant_count_ = 0;
};

}  // namespace parasim::species
