#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace parasim::species {

// Genomes stored as bits: locus l (counted from 0) of a genome is bit l % 64 of
// word l / 64; the unused high bits of the last word are always 0. Genome i
// occupies words [i * words_per_genome, (i + 1) * words_per_genome).
inline constexpr std::size_t words_for_loci(std::size_t loci) {
  return (loci + 63) / 64;
}

struct PackedGenomes {
  const std::uint64_t* words = nullptr;
  std::size_t words_per_genome = 0;
  std::size_t count = 0;

  const std::uint64_t* genome(std::size_t i) const { return words + i * words_per_genome; }
};

// The genetic distance: the number of loci at which two genomes differ.
inline std::int64_t genetic_distance(const std::uint64_t* a, const std::uint64_t* b,
                                     std::size_t words) {
  std::int64_t distance = 0;
  for (std::size_t i = 0; i < words; ++i) {
    distance += std::popcount(a[i] ^ b[i]);
  }
  return distance;
}

// Whether the genetic distance is at most limit; stops counting as soon as it is not.
inline bool within_distance(const std::uint64_t* a, const std::uint64_t* b, std::size_t words,
                            std::int64_t limit) {
  if (limit < 0) {
    return false;
  }
  std::int64_t distance = 0;
  std::size_t i = 0;
  for (; i + 4 <= words; i += 4) {
    distance += std::popcount(a[i] ^ b[i]) + std::popcount(a[i + 1] ^ b[i + 1]) +
                std::popcount(a[i + 2] ^ b[i + 2]) + std::popcount(a[i + 3] ^ b[i + 3]);
    if (distance > limit) {
      return false;
    }
  }
  for (; i < words; ++i) {
    distance += std::popcount(a[i] ^ b[i]);
  }
  return distance <= limit;
}

}  // namespace parasim::species
