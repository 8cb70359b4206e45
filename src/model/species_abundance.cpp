#include "model/species_abundance.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "model/allocation_failure.hpp"

namespace parasim::model {

const std::vector<AbundanceRow>& SpeciesAbundance::count(const Population& population,
                                                         const HostTable& hosts,
                                                         const species::SpeciesHistory& history) {
  const std::size_t n = population.size();
  allocate("species abundance", [&] {
    keys_.resize(n);
    order_.resize(n);
  });
  for (std::size_t row = 0; row < n; ++row) {
    const auto species =
        static_cast<std::uint32_t>(history.species_of_label(population.species_id(row)));
    keys_[row] = std::uint64_t{species} << 32 | static_cast<std::uint32_t>(population.host_id(row));
  }
  std::iota(order_.begin(), order_.end(), 0u);
  // Stable, so that within a species and host the parasites keep population order.
  std::stable_sort(order_.begin(), order_.end(),
                   [this](std::uint32_t a, std::uint32_t b) { return keys_[a] < keys_[b]; });

  rows_.clear();
  for (std::size_t begin = 0; begin < n;) {
    const std::uint64_t key = keys_[order_[begin]];
    std::size_t end = begin;
    double sum = 0.0;
    while (end < n && keys_[order_[end]] == key) {
      sum += population.phenotype(order_[end]);
      ++end;
    }
    AbundanceRow row;
    row.species = static_cast<std::int32_t>(key >> 32);
    row.host = static_cast<std::int32_t>(key & 0xffffffffu);
    row.label = population.species_id(order_[begin]);
    row.host_phenotype = hosts.host_phenotype[static_cast<std::size_t>(row.host - 1)];
    row.count = static_cast<std::int64_t>(end - begin);
    row.phenotype_mean = sum / static_cast<double>(row.count);
    double squares = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
      const double deviation = population.phenotype(order_[i]) - row.phenotype_mean;
      squares += deviation * deviation;
    }
    row.phenotype_sd = std::sqrt(squares / static_cast<double>(row.count));
    rows_.push_back(row);
    begin = end;
  }
  return rows_;
}

}  // namespace parasim::model
