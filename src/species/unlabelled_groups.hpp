#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "species/genome_groups.hpp"
#include "species/genome_heads.hpp"

namespace parasim::species {

// The genome groups outside every cluster, in no particular order, with the heads of
// their genomes (GenomeHeads) beside them, so that a scan sets most of them aside
// without reading their genomes.
class UnlabelledGroups {
 public:
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
  GenomeHeads heads_;                // by place in groups_
  std::vector<std::uint32_t> near_;  // places of the genomes near a scanned genome
};

template <typename Take>
void UnlabelledGroups::take_within(const GenomeGroups& groups, const std::uint64_t* genome,
                                   std::int64_t limit, Take&& take) {
  const std::size_t count = heads_.within(
      genome, groups.words_per_genome(), limit,
      [&](std::size_t i) { return groups.genome(groups_[i]); }, near_.data());
  // From the last place to the first: a removal moves the last group into the place
  // removed from, which has been looked at already.
  for (std::size_t k = count; k-- > 0;) {
    take(groups_[near_[k]]);
    remove_at(near_[k]);
  }
}

template <typename Labelled>
void UnlabelledGroups::remove_if(Labelled&& labelled) {
  for (std::size_t i = groups_.size(); i-- > 0;) {
    if (labelled(groups_[i])) {
      remove_at(i);
    }
  }
}

}  // namespace parasim::species
