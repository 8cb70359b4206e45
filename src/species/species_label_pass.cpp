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
      }
    }
  }

  for (std::size_t i = 0; i < species_id.size(); ++i) {
    const std::int32_t new_label = new_label_[index(cluster_of[i])];
    if (new_label != 0) {
      species_id[i] = new_label;
    }
  }
}

}  // namespace parasim::species
