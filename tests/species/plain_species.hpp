#pragma once

// The literal procedures of the species routine, kept beside the fast ones so that
// tests can compare the two on many populations.

#include <cstdint>
#include <vector>

#include "species/packed_genomes.hpp"

namespace parasim::species::testing {

// One-sweep clustering exactly as stated: seed, then one sweep j = 1 ... n scanning
// k = 1 ... n for every j that carries the cluster when the sweep reaches it.
inline std::int32_t plain_cluster(const PackedGenomes& genomes, std::int32_t threshold,
                                  std::vector<std::int32_t>& cluster_of) {
  const std::size_t n = genomes.count;
  cluster_of.assign(n, 0);
  std::int32_t cluster_count = 0;
  for (;;) {
    std::size_t seed = 0;
    while (seed < n && cluster_of[seed] != 0) {
      ++seed;
    }
    if (seed == n) {
      return cluster_count;
    }
    ++cluster_count;
    cluster_of[seed] = cluster_count;
    for (std::size_t j = 0; j < n; ++j) {
      if (cluster_of[j] != cluster_count) {
        continue;
      }
      for (std::size_t k = 0; k < n; ++k) {
        if (cluster_of[k] == 0 && genetic_distance(genomes.genome(j), genomes.genome(k),
                                                   genomes.words_per_genome) <= threshold) {
          cluster_of[k] = cluster_count;
        }
      }
    }
  }
}

// The bubble pass on the tally table, cluster_count rows by 2 columns stored by
// columns, with the row numbers counted from 1 as stated.
inline void plain_sortc(std::vector<std::int32_t>& tally_table, std::int32_t cluster_count) {
  const auto at = [&](std::int32_t row, std::int32_t column) -> std::int32_t& {
    return tally_table[static_cast<std::size_t>((column - 1) * cluster_count + row - 1)];
  };
  for (std::int32_t p = 1; p <= cluster_count - 1; ++p) {
    const std::int32_t a = cluster_count - p + 1;
    const std::int32_t b = a - 1;
    if (at(a, 2) > at(b, 2)) {
      std::swap(at(a, 1), at(b, 1));
      std::swap(at(a, 2), at(b, 2));
    }
  }
}

// The label pass exactly as stated: one turn for every s = 1 ... max_old_label.
inline void plain_label_pass(const std::vector<std::int32_t>& cluster_of,
                             std::int32_t cluster_count, std::vector<std::int32_t>& species_id) {
  const std::size_t n = species_id.size();
  std::int32_t max_old_label = species_id[0];
  for (std::size_t i = 1; i < n; ++i) {
    if (species_id[i] > max_old_label) {
      max_old_label = species_id[i];
    }
  }
  std::int32_t last_label = max_old_label;
  std::vector<std::int32_t> tally_table(2 * static_cast<std::size_t>(cluster_count));
  const auto at = [&](std::int32_t row, std::int32_t column) -> std::int32_t& {
    return tally_table[static_cast<std::size_t>((column - 1) * cluster_count + row - 1)];
  };
  for (std::int32_t s = 1; s <= max_old_label; ++s) {
    std::fill(tally_table.begin(), tally_table.end(), 0);
    for (std::size_t i = 0; i < n; ++i) {
      if (species_id[i] == s) {
        at(cluster_of[i], 2) += 1;
        at(cluster_of[i], 1) = cluster_of[i];
      }
    }
    plain_sortc(tally_table, cluster_count);
    const std::int32_t top = at(1, 1);
    for (std::size_t i = 0; i < n; ++i) {
      if (cluster_of[i] == top) {
        species_id[i] = s;
      }
    }
    for (std::int32_t r = 2; r <= cluster_count; ++r) {
      if (at(r, 2) >= 11) {
        ++last_label;
        for (std::size_t i = 0; i < n; ++i) {
          if (cluster_of[i] == at(r, 1)) {
            species_id[i] = last_label;
          }
        }
      }
    }
  }
}

}  // namespace parasim::species::testing
