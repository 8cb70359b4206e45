#include "species/species_label_pass.hpp"

#include <algorithm>
#include <limits>

namespace parasim::species {
namespace {

std::size_t index(std::int32_t value) {
  return static_cast<std::size_t>(value);
}

}  // namespace

void SpeciesLabelPass::relabel(std::span<const std::int32_t> cluster_of, std::int32_t cluster_count,
                               std::span<std::int32_t> species_id) {
  // Taken before anything is rewritten.
  const std::int32_t max_old_label = *std::max_element(species_id.begin(), species_id.end());
  std::int32_t last_label = max_old_label;

  new_label_.assign(index(cluster_count) + 1, 0);
  births_.clear();
  birth_cluster_.clear();
  const std::span<const LabelCarriers> carriers = carrier_tally_.count(cluster_of, species_id);
  for (auto turn = carriers.begin(); turn != carriers.end();) {
    const std::int32_t label = turn->label;
    rows_.clear();
    for (; turn != carriers.end() && turn->label == label; ++turn) {
      if (new_label_[index(turn->cluster)] == 0) {
        rows_.push_back({turn->cluster, turn->carriers});
      }
    }
    if (rows_.empty()) {
      continue;
    }
    sortc(rows_);
    new_label_[index(rows_.front().cluster)] = label;
    for (std::size_t r = 1; r < rows_.size(); ++r) {
      if (rows_[r].tally >= min_species_size &&
          last_label < std::numeric_limits<std::int32_t>::max()) {
        new_label_[index(rows_[r].cluster)] = ++last_label;
        births_.push_back({last_label, label, 0});
        birth_cluster_.push_back(rows_[r].cluster);
      }
    }
  }

  for (std::size_t i = 0; i < species_id.size(); ++i) {
    const std::int32_t new_label = new_label_[index(cluster_of[i])];
    if (new_label != 0) {
      species_id[i] = new_label;
    }
  }
  // A birth's size is its whole cluster, members that carried other labels included.
  if (!births_.empty()) {
    cluster_size_.assign(index(cluster_count) + 1, 0);
    for (const std::int32_t cluster : cluster_of) {
      ++cluster_size_[index(cluster)];
    }
    for (std::size_t b = 0; b < births_.size(); ++b) {
      births_[b].size = cluster_size_[index(birth_cluster_[b])];
    }
  }
}

}  // namespace parasim::species
