#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/genome_groups.hpp"
#include "species/packed_genomes.hpp"

namespace parasim::species {

// The genome groups outside every cluster, in no particular order. The first two words
// of each genome are kept beside its group number, so that a scan reads one short
// stretch of memory per candidate: genomes of different species already differ at more
// loci than the threshold within their first 128 loci, and are set aside without
// reading the rest.
class UnlabelledGroups {
 public:
  // Words of each genome kept beside its group number.
  static constexpr std::size_t head_words = 2;

  // Every group of groups, unlabelled.
  void reset(const GenomeGroups& groups);

  bool empty() const { return groups_.empty(); }
  std::span<const std::int32_t> groups() const { return groups_; }

  // Removes every group whose genome differs from genome at no more than limit loci
  // and hands its number to take, in no particular order.
  template <typename Take>
  void take_within(const GenomeGroups& groups, const std::uint64_t* genome, std::int64_t limit,
                   Take&& take);

  // Removes every group for which labelled(group) holds.
  template <typename Labelled>
  void remove_if(Labelled&& labelled);

 private:
  void remove_at(std::size_t i);

  std::vector<std::int32_t> groups_;
  std::vector<std::uint64_t> heads_;  // head_words per group, the missing words of short genomes 0
};

template <typename Take>
void UnlabelledGroups::take_within(const GenomeGroups& groups, const std::uint64_t* genome,
                                   std::int64_t limit, Take&& take) {
  if (limit < 0) {
    return;
  }
  const std::size_t words = groups.words_per_genome();
  const std::size_t head = std::min(words, head_words);
  const std::uint64_t first = words > 0 ? genome[0] : 0;
  const std::uint64_t second = words > 1 ? genome[1] : 0;
  for (std::size_t i = 0; i < groups_.size();) {
    const std::int64_t head_distance = std::popcount(first ^ heads_[head_words * i]) +
                                       std::popcount(second ^ heads_[head_words * i + 1]);
    if (head_distance <= limit && within_distance(genome + head, groups.genome(groups_[i]) + head,
                                                  words - head, limit - head_distance)) {
      take(groups_[i]);
      remove_at(i);  // the last group moves into place i, which is looked at next
    } else {
      ++i;
    }
  }
}

template <typename Labelled>
void UnlabelledGroups::remove_if(Labelled&& labelled) {
  for (std::size_t i = 0; i < groups_.size();) {
    if (labelled(groups_[i])) {
      remove_at(i);
    } else {
      ++i;
    }
  }
}

}  // namespace parasim::species
