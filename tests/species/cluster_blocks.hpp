#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace parasim::species::testing {

// The cluster of each parasite for clusters 1, 2, ... of the given sizes, their members in
// consecutive rows.
inline std::vector<std::int32_t> cluster_blocks(std::initializer_list<std::int32_t> sizes) {
  std::vector<std::int32_t> cluster_of;
  std::int32_t cluster = 0;
  for (const std::int32_t size : sizes) {
    cluster_of.insert(cluster_of.end(), static_cast<std::size_t>(size), ++cluster);
  }
  return cluster_of;
}

}  // namespace parasim::species::testing
