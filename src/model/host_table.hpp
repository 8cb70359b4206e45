#pragma once

#include <cstdint>
#include <vector>

namespace parasim::model {

// The hosts on the phenotype line, host h at index h - 1: its fixed phenotype and
// the number of parasites living on it.
struct HostTable {
  std::vector<double> host_phenotype;
  std::vector<std::int32_t> host_load;

  std::int32_t host_count() const { return static_cast<std::int32_t>(host_phenotype.size()); }
};

}  // namespace parasim::model
