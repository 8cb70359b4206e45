#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "abundance_reader.hpp"
#include "species_table.hpp"
#include "species_tree.hpp"

namespace parasim::report_tool {

// What abundance.csv tells of each species over the run.
struct SpeciesAbundanceTotals {
  std::int64_t peak_count = 0;            // most parasites in one generation
  std::int64_t parasite_generations = 0;  // its parasites summed over every generation
  std::int64_t final_count = 0;           // parasites at the last generation (0 when extinct)
  std::int64_t final_hosts = 0;           // hosts it occupies at the last generation
};

// Sums abundance.csv up by species, and the population of the last generation.
class AbundanceTally : public AbundanceObserver {
 public:
  explicit AbundanceTally(std::size_t species_count) : totals_(species_count) {}

  void generation_done(const AbundanceGeneration& generation) override;

  // Species s at index s - 1.
  const std::vector<SpeciesAbundanceTotals>& totals() const { return totals_; }
  std::int64_t last_population() const { return last_population_; }
  std::int64_t last_hosts_occupied() const { return last_hosts_occupied_; }

 private:
  std::vector<SpeciesAbundanceTotals> totals_;
  std::vector<std::int32_t> hosts_seen_;
  std::int64_t last_population_ = 0;
  std::int64_t last_hosts_occupied_ = 0;
};

struct HistoryStatistics {
  std::int32_t first_generation = 0;  // 0 when the history holds no generation
  std::int32_t last_generation = 0;
  std::int64_t species_total = 0;
  std::int64_t speciation_events = 0;
  std::int64_t extinctions = 0;
  std::optional<std::int32_t> first_split;  // the generation of the first speciation event
  std::optional<double> mean_extinct_lifetime;
  std::int64_t species_at_end = 0;
  std::int64_t min_size = 0;
  std::int64_t species_at_end_min_size = 0;  // of them, those with at least min_size parasites
  std::int64_t population_at_end = 0;        // parasites at the last generation
  std::int64_t hosts_occupied_at_end = 0;
  std::int64_t extant_tips = 0;
  std::optional<std::int64_t> colless;  // of the extant tree, with at least three tips
  std::optional<double> colless_normalised;
  std::optional<double> gamma;
};

// The lifetime of a species: the generations whose labelling left it carriers, from its birth
// to its last generation.
std::int64_t lifetime(const SpeciesEntry& species);

HistoryStatistics history_statistics(const SpeciesTable& species, const AbundanceTally& tally,
                                     const SpeciesTree& extant_tree, std::int64_t min_size);

}  // namespace parasim::report_tool
