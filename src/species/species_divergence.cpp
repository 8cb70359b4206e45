#include "species/species_divergence.hpp"

#include <algorithm>
#include <limits>
#include <numeric>

namespace parasim::species {

namespace {

struct PairTally {
  std::int64_t pairs = 0;
  std::int64_t sum = 0;
  std::int64_t min = std::numeric_limits<std::int64_t>::max();
  std::int64_t max = std::numeric_limits<std::int64_t>::min();

  void add(std::int64_t distance, std::int64_t count) {
    min = std::min(min, distance);
    max = std::max(max, distance);
    pairs += count;
    sum += distance * count;
  }
};

DivergenceRow row_of(std::int32_t a, std::int32_t b, const PairTally& tally) {
  if (tally.pairs == 0) {
    return {a, b, 0, 0, 0, 0};
  }
  return {a, b, tally.pairs, tally.sum, tally.min, tally.max};
}

}  // namespace

void SpeciesDivergence::collect_variants(const PackedGenomes& genomes,
                                         std::span<const std::int32_t> species_of) {
  words_ = genomes.words_per_genome;
  order_.resize(genomes.count);
  std::iota(order_.begin(), order_.end(), 0u);
  // By species, then genome, so that the copies of one genome in one species lie together.
  std::sort(order_.begin(), order_.end(), [&](std::uint32_t x, std::uint32_t y) {
    if (species_of[x] != species_of[y]) {
      return species_of[x] < species_of[y];
    }
    const std::uint64_t* gx = genomes.genome(x);
    const std::uint64_t* gy = genomes.genome(y);
    return std::lexicographical_compare(gx, gx + words_, gy, gy + words_);
  });

  variants_.clear();
  variant_words_.clear();
  species_begin_.clear();
  for (std::size_t k = 0; k < order_.size(); ++k) {
    const std::uint32_t parasite = order_[k];
    const std::uint64_t* genome = genomes.genome(parasite);
    const bool new_species = variants_.empty() || variants_.back().species != species_of[parasite];
    if (!new_species && std::equal(genome, genome + words_, variant_genome(variants_.size() - 1))) {
      ++variants_.back().copies;
      continue;
    }
    if (new_species) {
      species_begin_.push_back(variants_.size());
    }
    variants_.push_back({species_of[parasite], 1});
    variant_words_.insert(variant_words_.end(), genome, genome + words_);
  }
  species_begin_.push_back(variants_.size());
}

DivergenceRow SpeciesDivergence::within(std::size_t begin, std::size_t end) const {
  PairTally tally;
  for (std::size_t i = begin; i < end; ++i) {
    const std::int64_t copies = variants_[i].copies;
    if (copies > 1) {
      tally.add(0, copies * (copies - 1) / 2);
    }
    const std::uint64_t* genome = variant_genome(i);
    for (std::size_t j = i + 1; j < end; ++j) {
      tally.add(genetic_distance(genome, variant_genome(j), words_), copies * variants_[j].copies);
    }
  }
  const std::int32_t species = variants_[begin].species;
  return row_of(species, species, tally);
}

DivergenceRow SpeciesDivergence::between(std::size_t a_begin, std::size_t a_end,
                                         std::size_t b_begin, std::size_t b_end) const {
  PairTally tally;
  for (std::size_t i = a_begin; i < a_end; ++i) {
    const std::int64_t copies = variants_[i].copies;
    const std::uint64_t* genome = variant_genome(i);
    for (std::size_t j = b_begin; j < b_end; ++j) {
      tally.add(genetic_distance(genome, variant_genome(j), words_), copies * variants_[j].copies);
    }
  }
  return row_of(variants_[a_begin].species, variants_[b_begin].species, tally);
}

const std::vector<DivergenceRow>& SpeciesDivergence::measure(
    const PackedGenomes& genomes, std::span<const std::int32_t> species_of) {
  collect_variants(genomes, species_of);
  rows_.clear();
  const std::size_t present = species_begin_.size() - 1;
  for (std::size_t a = 0; a < present; ++a) {
    rows_.push_back(within(species_begin_[a], species_begin_[a + 1]));
    for (std::size_t b = a + 1; b < present; ++b) {
      rows_.push_back(between(species_begin_[a], species_begin_[a + 1], species_begin_[b],
                              species_begin_[b + 1]));
    }
  }
  return rows_;
}

}  // namespace parasim::species
