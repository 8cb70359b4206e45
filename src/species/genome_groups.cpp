#include "species/genome_groups.hpp"

#include <algorithm>
#include <bit>

namespace parasim::species {
namespace {

constexpr std::int32_t free_slot = -1;

std::uint64_t hash_genome(const std::uint64_t* genome, std::size_t words) {
  std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ words;
  for (std::size_t i = 0; i < words; ++i) {
    hash = (hash ^ genome[i]) * 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 31;
  }
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdULL;
  hash ^= hash >> 33;
  return hash;
}

}  // namespace

std::span<const std::int32_t> GenomeGroups::members(std::int32_t group) const {
  const auto begin = static_cast<std::size_t>(member_begin_[static_cast<std::size_t>(group)]);
  const auto end = static_cast<std::size_t>(member_begin_[static_cast<std::size_t>(group) + 1]);
  return std::span<const std::int32_t>(members_).subspan(begin, end - begin);
}

std::int32_t GenomeGroups::find_or_add(const std::uint64_t* genome, std::uint64_t hash) {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::int32_t group = slots_[slot];
    if (group == free_slot) {
      const auto added = static_cast<std::int32_t>(group_hash_.size());
      slots_[slot] = added;
      group_hash_.push_back(hash);
      distinct_words_.insert(distinct_words_.end(), genome, genome + words_per_genome_);
      return added;
    }
    if (group_hash_[static_cast<std::size_t>(group)] == hash &&
        std::equal(genome, genome + words_per_genome_, this->genome(group))) {
      return group;
    }
  }
}

void GenomeGroups::build(const PackedGenomes& genomes) {
  words_per_genome_ = genomes.words_per_genome;
  group_of_.resize(genomes.count);
  group_hash_.clear();
  distinct_words_.clear();
  // At most half full, so that probe runs stay short.
  slots_.assign(std::bit_ceil(std::max<std::size_t>(2 * genomes.count, 16)), free_slot);
  for (std::size_t i = 0; i < genomes.count; ++i) {
    const std::uint64_t* genome = genomes.genome(i);
    group_of_[i] = find_or_add(genome, hash_genome(genome, words_per_genome_));
  }

  // Members by group, in ascending order: a counting sort on the group number.
  member_begin_.assign(group_count() + 1, 0);
  for (const std::int32_t group : group_of_) {
    ++member_begin_[static_cast<std::size_t>(group) + 1];
  }
  for (std::size_t g = 1; g < member_begin_.size(); ++g) {
    member_begin_[g] += member_begin_[g - 1];
  }
  members_.resize(genomes.count);
  next_member_.assign(member_begin_.begin(), member_begin_.end() - 1);
  for (std::size_t i = 0; i < genomes.count; ++i) {
    auto& position = next_member_[static_cast<std::size_t>(group_of_[i])];
    members_[static_cast<std::size_t>(position++)] = static_cast<std::int32_t>(i);
  }
}

}  // namespace parasim::species
