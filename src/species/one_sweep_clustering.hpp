#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/genome_groups.hpp"
#include "species/packed_genomes.hpp"
#include "species/unlabelled_groups.hpp"

namespace parasim::species {

// One-sweep threshold linkage. Cluster k starts at its seed, the lowest-numbered
// parasite outside clusters 1 ... k - 1; one sweep over the parasites in ascending
// order then scans every parasite that carries k when the sweep reaches it, giving k
// to every parasite still outside a cluster whose genetic distance to it is at most
// the threshold. A parasite that joins behind the sweep is never scanned.
//
// The result is that of scanning every parasite in turn as described above, with far
// less work:
// - Each distinct genome is scanned at most once. A scan labels every unlabelled
//   parasite within the threshold, and the unlabelled parasites only become fewer, so
//   a second scan with the same genome labels nothing.
// - Only genomes still unlabelled are looked at. Their first 128 loci lie side by side
//   (UnlabelledGroups), and counting the loci at which two genomes differ stops as soon
//   as the count passes the threshold, most often within those loci.
// - A cluster that grows large uses its seed as a pivot. The distance of every
//   unlabelled genome to the seed is measured once; by the triangle inequality a scan
//   from genome j can then link only genomes k with |d(seed, j) - d(seed, k)| <=
//   threshold, and those sit in a few buckets of genomes sorted by that distance.
//   Measuring costs about as much as a few plain scans, so small clusters, the rule
//   when the genomes are spread thin, are swept with plain scans.
class OneSweepClustering {
 public:
  // Writes the cluster (1 ... count) of every parasite into cluster_of and returns the
  // number of clusters. Precondition: cluster_of.size() == genomes.count.
  std::int32_t cluster(const PackedGenomes& genomes, std::int32_t threshold,
                       std::span<std::int32_t> cluster_of);

 private:
  // A cluster with this many scans pending is swept with its seed as pivot.
  static constexpr std::size_t pivot_queue_length = 8;

  void grow_cluster(std::size_t seed);
  std::int32_t next_in_sweep();
  void scan_unlabelled(std::int32_t group, std::int32_t sweep_position);
  void sweep_with_pivot(std::int32_t seed_group);
  void fill_buckets();
  void scan_buckets(std::int32_t group, std::int32_t sweep_position);
  void shrink_live_buckets();
  void join(std::int32_t group, std::int32_t scanning_group, std::int32_t sweep_position);

  GenomeGroups groups_;
  std::int64_t threshold_ = 0;
  std::span<std::int32_t> cluster_of_;  // the caller's, during one call
  std::int32_t cluster_ = 0;            // the cluster being grown

  UnlabelledGroups unlabelled_;
  std::vector<std::int64_t> seed_distance_;  // by group: distance to the pivot seed
  std::vector<std::int32_t> sweep_queue_;    // min-heap of parasites the sweep will scan

  // The unlabelled groups by distance to the seed: bucket b holds the groups at
  // distance bucket_base_ + b in bucket_entries_[bucket_begin_[b], bucket_end_[b]),
  // and their genomes at the same places of bucket_genomes_.
  // Buckets outside [live_begin_, live_end_) are empty.
  std::int64_t bucket_base_ = 0;
  std::int64_t live_begin_ = 0;
  std::int64_t live_end_ = 0;
  std::size_t bucketed_count_ = 0;
  std::vector<std::int32_t> bucket_begin_;
  std::vector<std::int32_t> bucket_end_;
  std::vector<std::int32_t> bucket_entries_;
  std::vector<std::uint64_t> bucket_genomes_;
};

}  // namespace parasim::species
