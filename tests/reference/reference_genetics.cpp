#include "reference/reference_genetics.hpp"

#include <algorithm>
#include <set>

namespace parasim::reference {

namespace {

std::set<std::int32_t> species_carried(std::int32_t population_size,
                                       const OneBased<std::int32_t>& species_of) {
  std::set<std::int32_t> carried;
  for (std::int32_t i = 1; i <= population_size; ++i) {
    carried.insert(species_of(i));
  }
  return carried;
}

}  // namespace

std::vector<PairDistances> distances_by_species(std::int32_t population_size,
                                                const OneBased<std::int32_t>& species_of,
                                                const RowDistance& distance) {
  const std::set<std::int32_t> carried = species_carried(population_size, species_of);
  std::vector<PairDistances> entries;
  for (const std::int32_t a : carried) {
    for (const std::int32_t b : carried) {
      if (b < a) {
        continue;
      }
      PairDistances entry{a, b, 0, 0, 0, 0};
      for (std::int32_t i = 1; i <= population_size; ++i) {
        for (std::int32_t j = 1; j <= population_size; ++j) {
          const bool counted = a == b ? i < j && species_of(i) == a && species_of(j) == a
                                      : species_of(i) == a && species_of(j) == b;
          if (!counted) {
            continue;
          }
          const std::int64_t d = distance(i, j);
          entry.least = entry.pairs == 0 ? d : std::min(entry.least, d);
          entry.most = entry.pairs == 0 ? d : std::max(entry.most, d);
          entry.pairs += 1;
          entry.sum += d;
        }
      }
      entries.push_back(entry);
    }
  }
  return entries;
}

std::int32_t connected_components(std::int32_t population_size, const RowDistance& distance,
                                  std::int32_t threshold, OneBased<std::int32_t>& component_of) {
  for (std::int32_t i = 1; i <= population_size; ++i) {
    component_of(i) = 0;
  }
  std::int32_t count = 0;
  for (std::int32_t start = 1; start <= population_size; ++start) {
    if (component_of(start) != 0) {
      continue;
    }
    count += 1;
    component_of(start) = count;
    std::vector<std::int32_t> to_visit{start};
    while (!to_visit.empty()) {
      const std::int32_t j = to_visit.back();
      to_visit.pop_back();
      for (std::int32_t k = 1; k <= population_size; ++k) {
        if (component_of(k) == 0 && distance(j, k) <= threshold) {
          component_of(k) = count;
          to_visit.push_back(k);
        }
      }
    }
  }
  return count;
}

std::vector<SpeciesComponents> components_by_species(std::int32_t population_size,
                                                     const OneBased<std::int32_t>& species_of,
                                                     const OneBased<std::int32_t>& component_of,
                                                     std::int32_t component_count) {
  std::vector<SpeciesComponents> entries;
  for (const std::int32_t s : species_carried(population_size, species_of)) {
    SpeciesComponents entry{s, 0, 0, 0, 0};
    for (std::int32_t c = 1; c <= component_count; ++c) {
      std::int64_t mine = 0;
      std::int64_t others = 0;
      for (std::int32_t i = 1; i <= population_size; ++i) {
        if (component_of(i) == c) {
          (species_of(i) == s ? mine : others) += 1;
        }
      }
      if (mine > 0) {
        entry.rows += mine;
        entry.components += 1;
        entry.largest = std::max(entry.largest, mine);
        entry.shared += others > 0 ? 1 : 0;
      }
    }
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace parasim::reference
