#include "species/unlabelled_groups.hpp"

#include <numeric>

namespace parasim::species {

void UnlabelledGroups::reset(const GenomeGroups& groups) {
  const std::size_t count = groups.group_count();
  groups_.resize(count);
  std::iota(groups_.begin(), groups_.end(), 0);
  heads_.clear();
  for (std::size_t g = 0; g < count; ++g) {
    heads_.push_back(groups.genome(static_cast<std::int32_t>(g)), groups.words_per_genome());
  }
  near_.resize(count);
}

void UnlabelledGroups::remove_at(std::size_t i) {
  groups_[i] = groups_.back();
  groups_.pop_back();
  heads_.remove_at(i);
}

}  // namespace parasim::species
