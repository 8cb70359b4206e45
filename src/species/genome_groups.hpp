#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/packed_genomes.hpp"

namespace parasim::species {

// The distinct genomes of a population. Parasites with identical genomes form one
// group; groups are numbered from 0 in the order of their lowest-numbered member and
// list their members in ascending order. The clustering works on groups because a
// genome that has been scanned once can never label anything again.
class GenomeGroups {
 public:
  void build(const PackedGenomes& genomes);

  std::size_t group_count() const { return group_hash_.size(); }
  std::int32_t group_of(std::size_t parasite) const { return group_of_[parasite]; }
  std::span<const std::int32_t> members(std::int32_t group) const;
  // The group's genome, copied so that the groups lie side by side in memory.
  const std::uint64_t* genome(std::int32_t group) const {
    return distinct_words_.data() + static_cast<std::size_t>(group) * words_per_genome_;
  }
  std::size_t words_per_genome() const { return words_per_genome_; }

 private:
  std::int32_t find_or_add(const std::uint64_t* genome, std::uint64_t hash);

  std::size_t words_per_genome_ = 0;
  std::vector<std::int32_t> group_of_;
  std::vector<std::uint64_t> group_hash_;
  std::vector<std::uint64_t> distinct_words_;
  std::vector<std::int32_t> member_begin_;  // group_count + 1 offsets into members_
  std::vector<std::int32_t> members_;
  std::vector<std::int32_t> next_member_;  // where each group's next member goes while filling
  std::vector<std::int32_t> slots_;        // open-addressing table of group numbers, -1 when free
};

}  // namespace parasim::species
