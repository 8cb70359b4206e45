#include "species/mating_groups.hpp"

#include <algorithm>
#include <bit>
#include <numeric>

#include "random/vector_paths.hpp"
#include "species/genome_heads.hpp"

namespace parasim::species {

namespace {

std::size_t index(std::int32_t value) {
  return static_cast<std::size_t>(value);
}

constexpr std::uint64_t group_bits = 0xffffffffu;

}  // namespace

std::int32_t MatingGroups::root(std::int32_t genome) {
  while (parent_[index(genome)] != genome) {
    // Path halving: every other genome on the way points two steps up.
    parent_[index(genome)] = parent_[index(parent_[index(genome)])];
    genome = parent_[index(genome)];
  }
  return genome;
}

void MatingGroups::link_genomes(std::int64_t threshold) {
  const std::size_t count = distinct_.group_count();
  const std::size_t words = distinct_.words_per_genome();
  const std::size_t skip = std::min(words, head_words);
  parent_.resize(count);
  std::iota(parent_.begin(), parent_.end(), 0);
  head_first_.resize(count);
  head_second_.resize(count);
  for (std::size_t g = 0; g < count; ++g) {
    const Head head = head_of(distinct_.genome(static_cast<std::int32_t>(g)), words);
    head_first_[g] = head.first;
    head_second_[g] = head.second;
  }
  near_.resize(count);
  const random::VectorPath path = random::vector_path();
  for (std::size_t g = 0; g + 1 < count; ++g) {
    const Head head{head_first_[g], head_second_[g]};
    const std::uint64_t* genome = distinct_.genome(static_cast<std::int32_t>(g));
    // The genomes after g whose heads alone are near enough; the rest of the genome decides.
    const HeadColumns later{head_first_.data() + g + 1, head_second_.data() + g + 1, count - g - 1};
    const std::size_t near_count = near_heads(path, later, head, threshold, near_.data());
    for (std::size_t k = 0; k < near_count; ++k) {
      const auto other = static_cast<std::int32_t>(g + 1 + near_[k]);
      const std::int32_t mine = root(static_cast<std::int32_t>(g));
      const std::int32_t theirs = root(other);
      if (mine == theirs) {
        continue;
      }
      const std::int64_t rest = threshold - std::popcount(head_first_[index(other)] ^ head.first) -
                                std::popcount(head_second_[index(other)] ^ head.second);
      if (within_distance(genome + skip, distinct_.genome(other) + skip, words - skip, rest)) {
        parent_[index(std::max(mine, theirs))] = std::min(mine, theirs);
      }
    }
  }
}

void MatingGroups::number_groups(const PackedGenomes& genomes, std::int64_t threshold) {
  group_of_.resize(genomes.count);
  if (threshold < 0) {
    std::iota(group_of_.begin(), group_of_.end(), 0);
    group_count_ = genomes.count;
    return;
  }
  distinct_.build(genomes);
  link_genomes(threshold);
  // Numbered in the order of their lowest-numbered parasites: each root's number, -1 until the
  // root is met.
  root_number_.assign(parent_.size(), -1);
  group_count_ = 0;
  for (std::size_t i = 0; i < genomes.count; ++i) {
    std::int32_t& number = root_number_[index(root(distinct_.group_of(i)))];
    if (number < 0) {
      number = static_cast<std::int32_t>(group_count_++);
    }
    group_of_[i] = number;
  }
}

void MatingGroups::tally_species(std::span<const std::int32_t> species_of) {
  const std::size_t n = species_of.size();
  keys_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    keys_[i] = std::uint64_t{static_cast<std::uint32_t>(species_of[i])} << 32 |
               static_cast<std::uint32_t>(group_of_[i]);
  }
  std::sort(keys_.begin(), keys_.end());

  // How many species each group holds, from the distinct (species, group) keys.
  species_in_group_.assign(group_count_, 0);
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 0 || keys_[i] != keys_[i - 1]) {
      ++species_in_group_[keys_[i] & group_bits];
    }
  }

  rows_.clear();
  for (std::size_t begin = 0; begin < n;) {
    std::size_t end = begin + 1;
    while (end < n && keys_[end] == keys_[begin]) {
      ++end;
    }
    const auto species = static_cast<std::int32_t>(keys_[begin] >> 32);
    if (rows_.empty() || rows_.back().species != species) {
      rows_.push_back({species, 0, 0, 0, 0});
    }
    SpeciesInGroups& row = rows_.back();
    const auto in_group = static_cast<std::int64_t>(end - begin);
    row.parasites += in_group;
    ++row.groups;
    row.largest_group = std::max(row.largest_group, in_group);
    row.shared_groups += species_in_group_[keys_[begin] & group_bits] > 1 ? 1 : 0;
    begin = end;
  }
}

const std::vector<SpeciesInGroups>& MatingGroups::measure(const PackedGenomes& genomes,
                                                          std::span<const std::int32_t> species_of,
                                                          std::int64_t threshold) {
  number_groups(genomes, threshold);
  tally_species(species_of);
  return rows_;
}

}  // namespace parasim::species
