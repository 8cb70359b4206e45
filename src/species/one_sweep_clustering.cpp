#include "species/one_sweep_clustering.hpp"

#include <algorithm>
#include <functional>
#include <numeric>

namespace parasim::species {
namespace {

std::size_t index(std::int64_t value) {
  return static_cast<std::size_t>(value);
}
std::size_t index(std::int32_t value) {
  return static_cast<std::size_t>(value);
}

}  // namespace

std::int32_t OneSweepClustering::cluster(const PackedGenomes& genomes, std::int32_t threshold,
                                         std::span<std::int32_t> cluster_of) {
  const std::size_t count = genomes.count;
  if (threshold < 0) {
    // Not even identical genomes link: every parasite is a cluster of its own.
    std::iota(cluster_of.begin(), cluster_of.end(), 1);
    return static_cast<std::int32_t>(count);
  }
  threshold_ = threshold;
  cluster_of_ = cluster_of;
  groups_.build(genomes);
  std::fill(cluster_of.begin(), cluster_of.end(), 0);
  unlabelled_.reset(groups_);
  seed_distance_.resize(groups_.group_count());

  cluster_ = 0;
  for (std::size_t seed = 0; seed < count; ++seed) {
    if (cluster_of[seed] == 0) {
      ++cluster_;
      grow_cluster(seed);
    }
  }
  cluster_of_ = {};
  return cluster_;
}

void OneSweepClustering::grow_cluster(std::size_t seed) {
  const std::int32_t seed_group = groups_.group_of(seed);
  scan_unlabelled(seed_group, static_cast<std::int32_t>(seed));
  while (!sweep_queue_.empty() && !unlabelled_.empty()) {
    if (sweep_queue_.size() >= pivot_queue_length) {
      sweep_with_pivot(seed_group);
      break;
    }
    const std::int32_t sweep_position = next_in_sweep();
    scan_unlabelled(groups_.group_of(index(sweep_position)), sweep_position);
  }
  // Scans left over once every parasite has a cluster would label nothing.
  sweep_queue_.clear();
}

std::int32_t OneSweepClustering::next_in_sweep() {
  std::pop_heap(sweep_queue_.begin(), sweep_queue_.end(), std::greater<>{});
  const std::int32_t sweep_position = sweep_queue_.back();
  sweep_queue_.pop_back();
  return sweep_position;
}

void OneSweepClustering::scan_unlabelled(std::int32_t group, std::int32_t sweep_position) {
  unlabelled_.take_within(groups_, groups_.genome(group), threshold_,
                          [&](std::int32_t candidate) { join(candidate, group, sweep_position); });
}

void OneSweepClustering::sweep_with_pivot(std::int32_t seed_group) {
  const std::uint64_t* seed_genome = groups_.genome(seed_group);
  const std::size_t words = groups_.words_per_genome();
  const auto measure = [&](std::int32_t group) {
    seed_distance_[index(group)] = genetic_distance(seed_genome, groups_.genome(group), words);
  };
  for (const std::int32_t group : unlabelled_.groups()) {
    measure(group);
  }
  for (const std::int32_t sweep_position : sweep_queue_) {
    measure(groups_.group_of(index(sweep_position)));
  }
  fill_buckets();
  while (!sweep_queue_.empty() && bucketed_count_ > 0) {
    const std::int32_t sweep_position = next_in_sweep();
    scan_buckets(groups_.group_of(index(sweep_position)), sweep_position);
  }
  unlabelled_.remove_if([this](std::int32_t group) {
    return cluster_of_[index(groups_.members(group).front())] != 0;
  });
}

void OneSweepClustering::fill_buckets() {
  const std::span<const std::int32_t> unlabelled = unlabelled_.groups();
  const auto [nearest, farthest] = std::minmax_element(
      unlabelled.begin(), unlabelled.end(), [this](std::int32_t a, std::int32_t b) {
        return seed_distance_[index(a)] < seed_distance_[index(b)];
      });
  bucket_base_ = seed_distance_[index(*nearest)];
  const std::size_t bucket_count = index(seed_distance_[index(*farthest)] - bucket_base_) + 1;

  // A counting sort of the unlabelled groups by their distance to the seed.
  bucket_end_.assign(bucket_count, 0);
  for (const std::int32_t group : unlabelled) {
    ++bucket_end_[index(seed_distance_[index(group)] - bucket_base_)];
  }
  bucket_begin_.resize(bucket_count);
  std::int32_t filled = 0;
  for (std::size_t b = 0; b < bucket_count; ++b) {
    bucket_begin_[b] = filled;
    filled += bucket_end_[b];
    bucket_end_[b] = bucket_begin_[b];
  }
  // The genomes are copied in bucket order, so that scans read them one after another.
  const std::size_t words = groups_.words_per_genome();
  bucket_entries_.resize(unlabelled.size());
  bucket_genomes_.resize(unlabelled.size() * words);
  for (const std::int32_t group : unlabelled) {
    auto& end = bucket_end_[index(seed_distance_[index(group)] - bucket_base_)];
    std::copy_n(groups_.genome(group), words, bucket_genomes_.data() + index(end) * words);
    bucket_entries_[index(end++)] = group;
  }
  live_begin_ = 0;
  live_end_ = static_cast<std::int64_t>(bucket_count);
  bucketed_count_ = unlabelled.size();
}

void OneSweepClustering::scan_buckets(std::int32_t group, std::int32_t sweep_position) {
  const std::int64_t from_seed = seed_distance_[index(group)];
  const std::int64_t first = std::max(from_seed - threshold_ - bucket_base_, live_begin_);
  const std::int64_t last = std::min(from_seed + threshold_ - bucket_base_, live_end_ - 1);
  const std::uint64_t* genome = groups_.genome(group);
  const std::size_t words = groups_.words_per_genome();
  for (std::int64_t b = first; b <= last; ++b) {
    std::int32_t& end = bucket_end_[index(b)];
    for (std::int32_t i = bucket_begin_[index(b)]; i < end;) {
      const std::int32_t candidate = bucket_entries_[index(i)];
      std::uint64_t* candidate_genome = bucket_genomes_.data() + index(i) * words;
      if (within_distance(genome, candidate_genome, words, threshold_)) {
        // The bucket's last entry takes the place of the one that joins.
        if (--end != i) {
          bucket_entries_[index(i)] = bucket_entries_[index(end)];
          std::copy_n(bucket_genomes_.data() + index(end) * words, words, candidate_genome);
        }
        --bucketed_count_;
        join(candidate, group, sweep_position);
      } else {
        ++i;
      }
    }
  }
  shrink_live_buckets();
}

void OneSweepClustering::shrink_live_buckets() {
  const auto empty = [this](std::int64_t b) {
    return bucket_begin_[index(b)] == bucket_end_[index(b)];
  };
  while (live_begin_ < live_end_ && empty(live_begin_)) {
    ++live_begin_;
  }
  while (live_begin_ < live_end_ && empty(live_end_ - 1)) {
    --live_end_;
  }
}

void OneSweepClustering::join(std::int32_t group, std::int32_t scanning_group,
                              std::int32_t sweep_position) {
  const std::span<const std::int32_t> members = groups_.members(group);
  for (const std::int32_t member : members) {
    cluster_of_[index(member)] = cluster_;
  }
  // Only the seed's scan meets its own genome, and that scan is under way.
  if (group == scanning_group) {
    return;
  }
  // Members behind the sweep are never scanned; of those ahead, the first scan is the
  // only one that can label anything.
  const auto ahead = std::upper_bound(members.begin(), members.end(), sweep_position);
  if (ahead != members.end()) {
    sweep_queue_.push_back(*ahead);
    std::push_heap(sweep_queue_.begin(), sweep_queue_.end(), std::greater<>{});
  }
}

}  // namespace parasim::species
