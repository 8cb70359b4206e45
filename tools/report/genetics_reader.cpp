#include "genetics_reader.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "csv_row_reader.hpp"
#include "input_file.hpp"
#include "report/history_layout.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::int64_t most_int32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t most_int64 = std::numeric_limits<std::int64_t>::max();

// The generation of a row: within the run, never before the row above. Reports whether it
// starts a new sampled generation.
bool next_generation(const CsvRowReader& rows, const SpeciesTable& species, std::int32_t& current) {
  const auto generation = static_cast<std::int32_t>(
      rows.whole(0, "generation", 1, std::max<std::int64_t>(species.last_generation(), 1)));
  if (generation < current) {
    rows.fail("generation " + std::to_string(generation) + " after generation " +
              std::to_string(current) + ": sampled generations come in order");
  }
  const bool started = generation != current;
  current = generation;
  return started;
}

// A species of the table that lived at the generation of the row.
std::int32_t living_species(const CsvRowReader& rows, std::size_t i, std::string_view column,
                            const SpeciesTable& species, std::int32_t generation) {
  const auto number = static_cast<std::int32_t>(rows.whole(
      i, column, 1, std::max<std::int64_t>(static_cast<std::int64_t>(species.size()), 1)));
  if (species.empty()) {
    rows.fail("species.csv lists no species");
  }
  const SpeciesEntry& entry = species.at(number);
  if (generation < entry.born || generation > entry.last_seen) {
    rows.fail(std::string(column) + " " + std::to_string(number) + " did not live at generation " +
              std::to_string(generation) + " (generations " + std::to_string(entry.born) + " to " +
              std::to_string(entry.last_seen) + " in species.csv)");
  }
  return number;
}

struct PairSums {
  std::int64_t pairs = 0;
  double distance = 0.0;  // the distances summed: pairs x mean of each row

  void add(const DivergenceRow& row) {
    if (row.pairs > 0) {
      pairs += row.pairs;
      distance += static_cast<double>(row.pairs) * *row.mean_distance;
    }
  }
  std::optional<double> mean() const {
    return pairs > 0 ? std::optional<double>(distance / static_cast<double>(pairs)) : std::nullopt;
  }
};

}  // namespace

const DivergenceRow* GeneticsHistory::pair(std::int32_t a, std::int32_t b) const {
  const std::pair<std::int32_t, std::int32_t> key = std::minmax(a, b);
  const auto found = std::lower_bound(divergence.begin(), divergence.end(), key,
                                      [](const DivergenceRow& row, const auto& wanted) {
                                        return std::pair(row.species_a, row.species_b) < wanted;
                                      });
  return found != divergence.end() && found->species_a == key.first &&
                 found->species_b == key.second
             ? &*found
             : nullptr;
}

const GroupsRow* GeneticsHistory::groups_of(std::int32_t species) const {
  const auto found = std::lower_bound(
      groups.begin(), groups.end(), species,
      [](const GroupsRow& row, std::int32_t wanted) { return row.species < wanted; });
  return found != groups.end() && found->species == species ? &*found : nullptr;
}

GeneticsHistory read_divergence(const ByteSource& divergence, const std::string& divergence_name,
                                const SpeciesTable& species, GeneticsHistory genetics) {
  CsvRowReader rows(divergence, divergence_name);
  rows.expect_header(report::history_divergence_header);
  std::int32_t generation = 0;
  PairSums within;
  PairSums between;
  // The sums of a sampled generation once its last row is read.
  const auto close_generation = [&](std::int32_t closed) {
    if (closed != 0) {
      genetics.through_time.push_back(
          {closed, within.pairs, within.mean(), between.pairs, between.mean()});
    }
    within = {};
    between = {};
  };
  while (rows.next_row(7)) {
    const std::int32_t before = generation;
    if (next_generation(rows, species, generation)) {
      close_generation(before);
      genetics.divergence.clear();
    }
    DivergenceRow row;
    row.species_a = living_species(rows, 1, "species_a", species, generation);
    row.species_b = living_species(rows, 2, "species_b", species, generation);
    if (row.species_b < row.species_a) {
      rows.fail("species_b " + std::to_string(row.species_b) + " before species_a " +
                std::to_string(row.species_a) + ": each pair is listed once, species_a first");
    }
    if (!genetics.divergence.empty() &&
        std::pair(row.species_a, row.species_b) <=
            std::pair(genetics.divergence.back().species_a, genetics.divergence.back().species_b)) {
      rows.fail("pair " + std::to_string(row.species_a) + "," + std::to_string(row.species_b) +
                " out of order: the pairs of a generation come once each, by species_a, then "
                "species_b");
    }
    row.pairs = rows.whole(3, "pairs", 0, most_int64);
    const bool distances =
        !rows.field(4).empty() || !rows.field(5).empty() || !rows.field(6).empty();
    if ((row.pairs > 0) != distances) {
      rows.fail(row.pairs > 0
                    ? "the distances of " + std::to_string(row.pairs) + " pairs are missing"
                    : "distances given for no pair: they are empty where pairs is 0");
    }
    if (row.pairs > 0) {
      const double mean = rows.real(4, "mean_distance");
      const std::int64_t least = rows.whole(5, "min_distance", 0, most_int64);
      const std::int64_t most = rows.whole(6, "max_distance", least, most_int64);
      if (mean < static_cast<double>(least) || mean > static_cast<double>(most)) {
        rows.fail("mean_distance " + std::string(rows.field(4)) + " is not between min_distance " +
                  std::to_string(least) + " and max_distance " + std::to_string(most));
      }
      row.mean_distance = mean;
    }
    (row.species_a == row.species_b ? within : between).add(row);
    genetics.divergence.push_back(row);
  }
  close_generation(generation);
  genetics.divergence_generation = generation;
  return genetics;
}

GeneticsHistory read_groups(const ByteSource& groups, const std::string& groups_name,
                            const SpeciesTable& species, GeneticsHistory genetics) {
  CsvRowReader rows(groups, groups_name);
  rows.expect_header(report::history_groups_header);
  std::int32_t generation = 0;
  while (rows.next_row(7)) {
    if (next_generation(rows, species, generation)) {
      genetics.groups.clear();
    }
    GroupsRow row;
    row.species = living_species(rows, 1, "species", species, generation);
    if (!genetics.groups.empty() && row.species <= genetics.groups.back().species) {
      rows.fail("species " + std::to_string(row.species) +
                " out of order: the species of a generation come once each, in order");
    }
    const std::int32_t label = species.at(row.species).label;
    if (rows.whole(2, "label", 1, most_int32) != label) {
      rows.fail("label " + std::string(rows.field(2)) + " of species " +
                std::to_string(row.species) + ", which carries label " + std::to_string(label) +
                " in species.csv");
    }
    row.parasites = rows.whole(3, "parasites", 1, most_int64);
    row.groups = rows.whole(4, "groups", 1, row.parasites);
    row.largest_group = rows.whole(5, "largest_group", 1, row.parasites);
    row.shared_groups = rows.whole(6, "shared_groups", 0, row.groups);
    genetics.groups.push_back(row);
  }
  genetics.groups_generation = generation;
  return genetics;
}

std::optional<GeneticsHistory> read_genetics(const std::filesystem::path& folder,
                                             const SpeciesTable& species) {
  const std::filesystem::path divergence = folder / report::history_divergence_file;
  const std::filesystem::path groups = folder / report::history_groups_file;
  std::error_code error;
  const bool has_divergence = std::filesystem::exists(divergence, error);
  const bool has_groups = std::filesystem::exists(groups, error);
  if (!has_divergence && !has_groups) {
    return std::nullopt;
  }
  GeneticsHistory genetics;
  if (has_divergence) {
    const InputFile file(divergence.string());
    genetics = read_divergence(file.source(), file.path(), species, std::move(genetics));
  }
  if (has_groups) {
    const InputFile file(groups.string());
    genetics = read_groups(file.source(), file.path(), species, std::move(genetics));
  }
  return genetics;
}

}  // namespace parasim::report_tool
