#include "history_statistics.hpp"

#include <algorithm>

namespace parasim::report_tool {

void AbundanceTally::generation_done(const AbundanceGeneration& generation) {
  last_population_ = 0;
  hosts_seen_.clear();
  for (std::size_t i = 0; i < generation.rows.size(); ++i) {
    const AbundanceRow& row = generation.rows[i];
    SpeciesAbundanceTotals& totals = totals_[static_cast<std::size_t>(row.species) - 1];
    const bool first_of_species = i == 0 || generation.rows[i - 1].species != row.species;
    if (first_of_species) {
      totals.final_count = 0;
      totals.final_hosts = 0;
    }
    totals.final_count += row.count;
    ++totals.final_hosts;
    totals.parasite_generations += row.count;
    totals.peak_count = std::max(totals.peak_count, totals.final_count);
    last_population_ += row.count;
    hosts_seen_.push_back(row.host);
  }
  std::sort(hosts_seen_.begin(), hosts_seen_.end());
  last_hosts_occupied_ = std::unique(hosts_seen_.begin(), hosts_seen_.end()) - hosts_seen_.begin();
}

std::int64_t lifetime(const SpeciesEntry& species) {
  return std::int64_t{species.last_seen} - species.born + 1;
}

HistoryStatistics history_statistics(const SpeciesTable& species, const AbundanceTally& tally,
                                     const SpeciesTree& extant_tree, std::int64_t min_size) {
  HistoryStatistics statistics;
  statistics.min_size = min_size;
  statistics.species_total = static_cast<std::int64_t>(species.size());
  if (species.empty()) {
    return statistics;
  }
  statistics.first_generation = species.at(1).born;
  statistics.last_generation = species.last_generation();
  statistics.speciation_events = statistics.species_total - 1;
  if (species.size() > 1) {
    statistics.first_split = species.at(2).born;
  }
  std::int64_t lifetimes = 0;
  for (const SpeciesEntry& entry : species.entries()) {
    if (entry.extant) {
      ++statistics.species_at_end;
      const SpeciesAbundanceTotals& totals =
          tally.totals()[static_cast<std::size_t>(entry.species) - 1];
      statistics.species_at_end_min_size += totals.final_count >= min_size;
    } else {
      ++statistics.extinctions;
      lifetimes += lifetime(entry);
    }
  }
  if (statistics.extinctions > 0) {
    statistics.mean_extinct_lifetime =
        static_cast<double>(lifetimes) / static_cast<double>(statistics.extinctions);
  }
  statistics.population_at_end = tally.last_population();
  statistics.hosts_occupied_at_end = tally.last_hosts_occupied();
  statistics.extant_tips = static_cast<std::int64_t>(extant_tree.tip_count());
  if (statistics.extant_tips >= 3) {
    const std::int64_t n = statistics.extant_tips;
    statistics.colless = colless_index(extant_tree);
    // The largest Colless index of n tips, that of the caterpillar: (n - 1)(n - 2) / 2.
    statistics.colless_normalised =
        static_cast<double>(*statistics.colless) / (static_cast<double>((n - 1) * (n - 2)) / 2.0);
    statistics.gamma = gamma_statistic(extant_tree, statistics.last_generation);
  }
  return statistics;
}

}  // namespace parasim::report_tool
