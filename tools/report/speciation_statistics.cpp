#include "speciation_statistics.hpp"

#include <algorithm>
#include <set>
#include <utility>

namespace parasim::report_tool {
namespace {

void count_host_shifts(const SpeciesTable& species, SpeciationStatistics& statistics) {
  for (const SpeciesEntry& entry : species.entries()) {
    if (entry.parent == 0 || entry.birth_host == 0 || entry.parent_host == 0) {
      continue;
    }
    (entry.birth_host == entry.parent_host ? statistics.daughters_on_parent_host
                                           : statistics.host_shifts) += 1;
  }
  const std::int64_t known = statistics.daughters_on_parent_host + statistics.host_shifts;
  if (known > 0) {
    statistics.host_shift_share =
        static_cast<double>(statistics.host_shifts) / static_cast<double>(known);
  }
}

std::string hosts_text(std::vector<std::pair<std::int32_t, std::int64_t>> hosts) {
  std::sort(hosts.begin(), hosts.end(), [](const auto& left, const auto& right) {
    return left.second != right.second ? left.second > right.second : left.first < right.first;
  });
  std::string text;
  for (const auto& [host, count] : hosts) {
    if (!text.empty()) {
      text += ';';
    }
    text += std::to_string(host) + ':' + std::to_string(count);
  }
  return text;
}

std::vector<SpeciesAtEnd> species_at_end(const SpeciesTable& species, const LastGeneration& last,
                                         const GeneticsHistory* genetics) {
  std::vector<SpeciesAtEnd> rows;
  const std::vector<AbundanceRow>& cells = last.rows().rows;  // by species, then host
  for (std::size_t first = 0; first < cells.size();) {
    std::size_t end = first;
    std::vector<std::pair<std::int32_t, std::int64_t>> hosts;
    SpeciesAtEnd row;
    row.entry = &species.at(cells[first].species);
    for (; end < cells.size() && cells[end].species == cells[first].species; ++end) {
      hosts.emplace_back(cells[end].host, cells[end].count);
      row.parasites += cells[end].count;
    }
    row.hosts = hosts_text(std::move(hosts));
    if (genetics) {
      if (const GroupsRow* groups = genetics->groups_of(row.entry->species)) {
        row.groups = groups->groups;
      }
    }
    rows.push_back(std::move(row));
    first = end;
  }
  return rows;
}

std::set<std::pair<std::int32_t, std::int32_t>> sister_species(const SpeciesTree& extant_tree) {
  std::set<std::pair<std::int32_t, std::int32_t>> sisters;
  const std::vector<TreeNode>& nodes = extant_tree.nodes();
  for (const TreeNode& node : nodes) {
    if (!node.is_tip()) {
      const TreeNode& first = nodes[static_cast<std::size_t>(node.first)];
      const TreeNode& second = nodes[static_cast<std::size_t>(node.second)];
      if (first.is_tip() && second.is_tip()) {
        sisters.insert(std::minmax(first.species, second.species));
      }
    }
  }
  return sisters;
}

std::optional<double> mean_within(const GeneticsHistory& genetics, std::int32_t species) {
  const DivergenceRow* row = genetics.pair(species, species);
  return row ? row->mean_distance : std::nullopt;
}

void divergence_of_extant_species(const SpeciesTable& species, const SpeciesTree& extant_tree,
                                  const GeneticsHistory& genetics,
                                  SpeciationStatistics& statistics) {
  const auto sisters = sister_species(extant_tree);
  double between_sum = 0.0;
  std::int64_t between_count = 0;
  double sister_sum = 0.0;
  for (const DivergenceRow& row : genetics.divergence) {
    if (row.species_a == row.species_b || !species.at(row.species_a).extant ||
        !species.at(row.species_b).extant) {
      continue;
    }
    SpeciesPairDivergence pair;
    pair.species_a = row.species_a;
    pair.species_b = row.species_b;
    pair.sisters = sisters.count({row.species_a, row.species_b}) > 0;
    pair.within_a = mean_within(genetics, row.species_a);
    pair.within_b = mean_within(genetics, row.species_b);
    pair.between = row.mean_distance;
    if (pair.within_a && pair.within_b && *pair.between > 0.0) {
      pair.fst = 1.0 - (*pair.within_a + *pair.within_b) / 2.0 / *pair.between;
    }
    between_sum += *pair.between;
    ++between_count;
    if (pair.sisters) {
      sister_sum += *pair.between;
      ++statistics.sister_pairs;
    }
    statistics.extant_pairs.push_back(pair);
  }
  if (between_count > 0) {
    statistics.mean_divergence_between_extant = between_sum / static_cast<double>(between_count);
  }
  if (statistics.sister_pairs > 0) {
    statistics.mean_sister_divergence = sister_sum / static_cast<double>(statistics.sister_pairs);
  }
}

}  // namespace

SpeciationStatistics speciation_statistics(const SpeciesTable& species, const LastGeneration& last,
                                           const SpeciesTree& extant_tree,
                                           const GeneticsHistory* genetics) {
  SpeciationStatistics statistics;
  count_host_shifts(species, statistics);
  statistics.at_end = species_at_end(species, last, genetics);
  if (!genetics) {
    return statistics;
  }
  statistics.has_divergence = genetics->divergence_generation != 0;
  statistics.has_groups = genetics->groups_generation != 0;
  statistics.divergence_generation = genetics->divergence_generation;
  statistics.groups_generation = genetics->groups_generation;
  divergence_of_extant_species(species, extant_tree, *genetics, statistics);
  for (std::size_t i = 0; i < statistics.at_end.size(); ++i) {
    const std::optional<std::int64_t>& groups = statistics.at_end[i].groups;
    if (groups && *groups > 1) {
      statistics.spanning.push_back(i);
    }
  }
  return statistics;
}

}  // namespace parasim::report_tool
