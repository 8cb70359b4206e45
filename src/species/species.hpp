#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "species/one_sweep_clustering.hpp"
#include "species/packed_genomes.hpp"
#include "species/species_label_pass.hpp"

namespace parasim::species {

// The linkage threshold of the clustering: mate_threshold through single
// precision and back with NINT (equal to mate_threshold below 2^24).
std::int32_t linkage_threshold(std::int32_t mate_threshold);

// Labels the species of one generation: clusters the genomes by one-sweep
// threshold linkage, then rewrites species_id so that every label goes to the
// cluster holding most of its carriers and other clusters holding at least 11 of
// them get fresh labels. Keeps its work buffers between calls so that a run
// allocates only when the population grows.
class SpeciesLabeller {
 public:
  // Precondition: genomes.count == species_id.size() >= 1.
  void label(const PackedGenomes& genomes, std::span<std::int32_t> species_id,
             std::int32_t mate_threshold);

  // The cluster of each parasite (1 ... cluster_count) found by the last call.
  std::span<const std::int32_t> cluster_of() const { return cluster_of_; }
  std::int32_t cluster_count() const { return cluster_count_; }
  // The species split off by the last call, in the order their labels were issued.
  std::span<const SpeciesBirth> births() const { return label_pass_.births(); }

 private:
  std::vector<std::int32_t> cluster_of_;
  std::int32_t cluster_count_ = 0;
  OneSweepClustering clustering_;
  SpeciesLabelPass label_pass_;
};

}  // namespace parasim::species
