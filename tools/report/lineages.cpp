#include "lineages.hpp"

namespace parasim::report_tool {

std::vector<LineageCount> lineages_through_time(const SpeciesTable& species,
                                                const SpeciesTree& extant_tree) {
  if (species.empty()) {
    return {};
  }
  const std::int32_t first = species.at(1).born;
  const std::int32_t last = species.last_generation();
  const auto span = static_cast<std::size_t>(last - first) + 1;
  const auto slot = [&](std::int32_t generation) {
    return static_cast<std::size_t>(generation - first);
  };
  // Events by generation, summed up below.
  std::vector<std::int64_t> births(span, 0);
  std::vector<std::int64_t> endings(span + 1, 0);
  std::vector<std::int64_t> splits(span, 0);
  for (const SpeciesEntry& entry : species.entries()) {
    if (entry.species != 1) {
      ++births[slot(entry.born)];
    }
    if (!entry.extant) {
      ++endings[slot(entry.last_seen) + 1];
    }
  }
  for (const TreeNode& node : extant_tree.nodes()) {
    if (!node.is_tip()) {
      ++splits[slot(node.time)];
    }
  }
  std::vector<LineageCount> counts(span);
  LineageCount running;
  running.extant_lineages = extant_tree.empty() ? 0 : 1;
  for (std::size_t i = 0; i < span; ++i) {
    running.generation = first + static_cast<std::int32_t>(i);
    running.speciation_events += births[i];
    running.extinctions += endings[i];
    running.extant_lineages += splits[i];
    running.species_alive = 1 + running.speciation_events - running.extinctions;
    counts[i] = running;
  }
  return counts;
}

}  // namespace parasim::report_tool
