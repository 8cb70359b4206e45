#include "species/unlabelled_groups.hpp"

#include <numeric>

namespace parasim::species {

void UnlabelledGroups::reset(const GenomeGroups& groups) {
  const std::size_t count = groups.group_count();
  const std::size_t words = groups.words_per_genome();
  groups_.resize(count);
  std::iota(groups_.begin(), groups_.end(), 0);
  heads_.assign(count * head_words, 0);
  for (std::size_t g = 0; g < count; ++g) {
    const std::uint64_t* genome = groups.genome(static_cast<std::int32_t>(g));
    std::copy_n(genome, std::min(words, head_words), heads_.data() + g * head_words);
  }
}

void UnlabelledGroups::remove_at(std::size_t i) {
  const std::size_t last = groups_.size() - 1;
  groups_[i] = groups_[last];
  std::copy_n(heads_.data() + last * head_words, head_words, heads_.data() + i * head_words);
  groups_.pop_back();
  heads_.resize(last * head_words);
}

}  // namespace parasim::species
