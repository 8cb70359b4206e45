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

void SpeciesHistory::find_main_hosts(std::span<const std::int32_t> labels,
                                     std::span<const std::int32_t> hosts) {
  const std::size_t width =
      hosts.empty() ? 1 : index(*std::max_element(hosts.begin(), hosts.end())) + 1;
  std::vector<std::int32_t> slot_of(carriers_.size(), -1);
  for (std::size_t slot = 0; slot < main_host_labels_.size(); ++slot) {
    const std::size_t label = index(main_host_labels_[slot]);
    if (label < slot_of.size()) {
      slot_of[label] = static_cast<std::int32_t>(slot);
    }
  }
  host_tally_.assign(main_host_labels_.size() * width, 0);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::int32_t slot = slot_of[index(labels[i])];
    if (slot >= 0) {
      ++host_tally_[index(slot) * width + index(hosts[i])];
    }
  }
  main_host_.assign(main_host_labels_.size(), 0);
  for (std::size_t slot = 0; slot < main_host_labels_.size(); ++slot) {
    std::int64_t most = 0;
    for (std::size_t host = 1; host < width; ++host) {
      // Strictly more: on a tie the lower host keeps it.
      if (host_tally_[slot * width + host] > most) {
        most = host_tally_[slot * width + host];
        main_host_[slot] = static_cast<std::int32_t>(host);
      }
    }
  }
}

std::int32_t SpeciesHistory::main_host_of(std::int32_t label) const {
  const auto at = std::find(main_host_labels_.begin(), main_host_labels_.end(), label);
  return at == main_host_labels_.end()
             ? 0
             : main_host_[static_cast<std::size_t>(at - main_host_labels_.begin())];
}

void SpeciesHistory::record_labelling(std::int32_t generation, std::span<const SpeciesBirth> births,
                                      std::span<const std::int32_t> labels,
                                      std::span<const std::int32_t> hosts) {
  const std::int32_t largest = labels.empty() ? 0 : *std::max_element(labels.begin(), labels.end());
  carriers_.assign(index(largest) + 1, 0);
  for (const std::int32_t label : labels) {
    ++carriers_[index(label)];
  }
  if (species_by_label_.size() < carriers_.size()) {
    species_by_label_.resize(carriers_.size(), 0);
  }

  // Where each new species and its parent live: the parent keeps the label of the turn that
  // issued the daughter, so after the call that label's carriers are the parent's parasites.
  main_host_labels_.clear();
  const auto ask_main_host = [&](std::int32_t label) {
    if (std::find(main_host_labels_.begin(), main_host_labels_.end(), label) ==
        main_host_labels_.end()) {
      main_host_labels_.push_back(label);
    }
  };
  if (species_.empty()) {
    ask_main_host(1);
  }
  for (const SpeciesBirth& birth : births) {
    ask_main_host(birth.label);
    ask_main_host(birth.parent_label);
  }
  if (!main_host_labels_.empty()) {
    find_main_hosts(labels, hosts);
  }

  const auto found = [&](std::int32_t label, std::int32_t parent, std::int32_t size,
                         std::int32_t parent_label) {
    const auto number = static_cast<std::int32_t>(species_.size()) + 1;
    SpeciesRecord record{number, label, parent, generation, size, generation, true};
    record.birth_host = main_host_of(label);
    record.parent_host = parent != 0 ? main_host_of(parent_label) : 0;
    species_.push_back(record);
    species_by_label_[index(label)] = number;
  };
  if (species_.empty()) {
    found(1, 0, carriers_.size() > 1 ? carriers_[1] : 0, 0);
  }
  // A daughter's parent is the species that carried the label of the turn that issued it;
  // that label keeps its species through the call, so the map before this call tells it.
  for (const SpeciesBirth& birth : births) {
    found(birth.label, species_of_label(birth.parent_label), birth.size, birth.parent_label);
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
