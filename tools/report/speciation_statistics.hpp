#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "abundance_reader.hpp"
#include "genetics_reader.hpp"
#include "species_table.hpp"
#include "species_tree.hpp"

namespace parasim::report_tool {

// Keeps the rows of the last generation of abundance.csv: the species and hosts at the end.
class LastGeneration : public AbundanceObserver {
 public:
  void generation_done(const AbundanceGeneration& generation) override { last_ = generation; }
  const AbundanceGeneration& rows() const { return last_; }

 private:
  AbundanceGeneration last_;
};

// One species alive at the end (a row of species_at_end.csv).
struct SpeciesAtEnd {
  const SpeciesEntry* entry = nullptr;
  // Its parasites on each host at the last generation, as "host:count" joined by ';', the host
  // with most first, ties by host number.
  std::string hosts;
  std::int64_t parasites = 0;
  // The mating groups holding its parasites at the last sampled generation of groups.csv;
  // empty without groups.csv or when it was not there then.
  std::optional<std::int64_t> groups;
};

// Two species alive at the end, both present at the last sampled generation of divergence.csv:
// the mean distance of the pairs of parasites within each and between them, and Hudson's FST,
// 1 - (mean within a + mean within b) / 2 / mean between; FST is empty when either species has
// a single parasite (no pair within) or every pair between is at distance 0.
struct SpeciesPairDivergence {
  std::int32_t species_a = 0;
  std::int32_t species_b = 0;
  bool sisters = false;  // a cherry of the extant species' tree
  std::optional<double> within_a;
  std::optional<double> within_b;
  std::optional<double> between;
  std::optional<double> fst;
};

// How the species arose and how far apart they are: host shifts among the daughters, and with
// the genetics tables the divergence of the species alive at the end and the species that
// span several mating groups.
struct SpeciationStatistics {
  std::int64_t daughters_on_parent_host = 0;  // born on the host where most of the mother's were
  std::int64_t host_shifts = 0;               // born mainly on another host
  std::optional<double> host_shift_share;     // of the daughters whose hosts are known

  bool has_divergence = false;  // the history holds divergence.csv
  bool has_groups = false;      // and groups.csv
  std::int32_t divergence_generation = 0;
  std::int32_t groups_generation = 0;
  std::vector<SpeciesAtEnd> at_end;                 // by species
  std::vector<SpeciesPairDivergence> extant_pairs;  // by species_a, then species_b
  // The mean over extant_pairs of their mean distance between (each pair of species once).
  std::optional<double> mean_divergence_between_extant;
  std::int64_t sister_pairs = 0;  // of extant_pairs
  std::optional<double> mean_sister_divergence;
  std::vector<std::size_t> spanning;  // the places in at_end of those in more than one group
};

SpeciationStatistics speciation_statistics(const SpeciesTable& species, const LastGeneration& last,
                                           const SpeciesTree& extant_tree,
                                           const GeneticsHistory* genetics);

}  // namespace parasim::report_tool
