#include "species/species_history.hpp"

#include <algorithm>

namespace parasim::species {

namespace {

std::size_t index(std::int32_t value) { return static_cast<std::size_t>(value); }

}  // namespace

SpeciesHistory::SpeciesHistory(std::vector<SpeciesRecord> species) : species_(std::move(species)) {
  for (const SpeciesRecord& record : species_) {
    if (record.extant) {
      if (index(record.label) >= species_by_label_.size()) {
        species_by_label_.resize(index(record.label) + 1, 0);
      }
      species_by_label_[index(record.label)] = record.species;
      ++extant_count_;
    }
  }
}

std::int32_t SpeciesHistory::species_of_label(std::int32_t label) const {
  return label >= 0 && index(label) < species_by_label_.size() ? species_by_label_[index(label)]
                                                               : 0;
}

void SpeciesHistory::record_labelling(std::int32_t generation,
                                      std::span<const SpeciesBirth> births,
                                      std::span<const std::int32_t> labels) {
  const std::int32_t largest =
      labels.empty() ? 0 : *std::max_element(labels.begin(), labels.end());
  carriers_.assign(index(largest) + 1, 0);
  for (const std::int32_t label : labels) {
    ++carriers_[index(label)];
  }
  if (species_by_label_.size() < carriers_.size()) {
    species_by_label_.resize(carriers_.size(), 0);
  }

  const auto found = [&](std::int32_t label, std::int32_t parent, std::int32_t size) {
    const auto number = static_cast<std::int32_t>(species_.size()) + 1;
    species_.push_back({number, label, parent, generation, size, generation, true});
    species_by_label_[index(label)] = number;
  };
  if (species_.empty()) {
    found(1, 0, carriers_.size() > 1 ? carriers_[1] : 0);
  }
  // A daughter's parent is the species that carried the label of the turn that issued it;
  // that label keeps its species through the call, so the map before this call tells it.
  for (const SpeciesBirth& birth : births) {
    found(birth.label, species_of_label(birth.parent_label), birth.size);
  }

  // A species lives on while its label has carriers and the label is still its own: a
  // species whose carriers all vanished before this labelling may see its label issued
  // afresh in it, to a new species.
  extant_count_ = 0;
  for (SpeciesRecord& record : species_) {
    if (!record.extant) {
      continue;
    }
    const std::size_t label = index(record.label);
    const bool own_label = species_by_label_[label] == record.species;
    if (own_label && label < carriers_.size() && carriers_[label] > 0) {
      record.last_seen = generation;
      ++extant_count_;
    } else {
      record.extant = false;
      if (own_label) {
        species_by_label_[label] = 0;
      }
    }
  }
}

}  // namespace parasim::species
