#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "results_reader.hpp"
#include "species_table.hpp"

namespace parasim::report_tool {

// A row of a history's divergence.csv: the pairs of parasites of two species (or of one, when
// species_a == species_b) and their genetic distances in loci; no distance when there is no
// pair.
struct DivergenceRow {
  std::int32_t species_a = 0;
  std::int32_t species_b = 0;
  std::int64_t pairs = 0;
  std::optional<double> mean_distance;
};

// A row of a history's groups.csv: how the parasites of one species fall into mating groups.
struct GroupsRow {
  std::int32_t species = 0;
  std::int64_t parasites = 0;
  std::int64_t groups = 0;
  std::int64_t largest_group = 0;
  std::int64_t shared_groups = 0;
};

// The distances of one sampled generation over every pair of parasites of one species (within)
// and of two different species (between); a mean is empty when there is no such pair.
struct DivergenceThroughTime {
  std::int32_t generation = 0;
  std::int64_t within_pairs = 0;
  std::optional<double> mean_within;
  std::int64_t between_pairs = 0;
  std::optional<double> mean_between;
};

// What the genetics tables of a history (parasim --genetics-every) give the report: the
// divergence of every sampled generation summed up, and the rows of the last sampled
// generation of each table. A table the run did not write has generation 0 and no rows.
struct GeneticsHistory {
  std::vector<DivergenceThroughTime> through_time;
  std::int32_t divergence_generation = 0;
  std::vector<DivergenceRow> divergence;  // by species_a, then species_b
  std::int32_t groups_generation = 0;
  std::vector<GroupsRow> groups;  // by species

  // The row of two species (in either order) at the last sampled generation, or null.
  const DivergenceRow* pair(std::int32_t a, std::int32_t b) const;
  // The groups row of a species at the last sampled generation, or null.
  const GroupsRow* groups_of(std::int32_t species) const;
};

// Reads divergence.csv and groups.csv against the species table they go with: the header, each
// field, generations from 1 to the last of the species table without going back, species of
// the table alive at that generation (with its label in groups.csv), rows ordered by species,
// and counts that agree with each other (a distance exactly where there is a pair; groups
// between 1 and the parasites; the largest group and the shared groups within them). Throws
// MalformedHistory at the first fault. Keeps one generation's rows at a time.
GeneticsHistory read_divergence(const ByteSource& divergence, const std::string& divergence_name,
                                const SpeciesTable& species, GeneticsHistory genetics);
GeneticsHistory read_groups(const ByteSource& groups, const std::string& groups_name,
                            const SpeciesTable& species, GeneticsHistory genetics);

// The genetics tables of the history in folder: empty when it holds neither (a run without
// --genetics-every), otherwise what the ones it holds give.
std::optional<GeneticsHistory> read_genetics(const std::filesystem::path& folder,
                                             const SpeciesTable& species);

}  // namespace parasim::report_tool
