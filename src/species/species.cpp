#include "species/species.hpp"

#include "rounding/rounding.hpp"

namespace parasim::species {

std::int32_t linkage_threshold(std::int32_t mate_threshold) {
  return rounding::nint(static_cast<float>(mate_threshold));
}

void SpeciesLabeller::label(const PackedGenomes& genomes, std::span<std::int32_t> species_id,
                            std::int32_t mate_threshold) {
  cluster_of_.resize(genomes.count);
  cluster_count_ = 0;
  if (species_id.empty()) {
    return;
  }
  cluster_count_ = clustering_.cluster(genomes, linkage_threshold(mate_threshold), cluster_of_);
  label_pass_.relabel(cluster_of_, cluster_count_, species_id);
}

}  // namespace parasim::species
