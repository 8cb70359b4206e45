#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "species/packed_genomes.hpp"

namespace parasim::species::testing {

// Genomes owned by a test, packed as the model packs them.
class GenomeTable {
 public:
  explicit GenomeTable(std::size_t loci) : loci_(loci), words_(words_for_loci(loci)) {}

  std::size_t loci() const { return loci_; }
  std::size_t count() const { return count_; }
  PackedGenomes view() const { return {bits_.data(), words_, count_}; }

  // Appends a genome with every locus 0 and returns its number (from 0).
  std::size_t add() {
    bits_.resize(bits_.size() + words_, 0);
    return count_++;
  }
  // Appends a genome whose loci set to 1 are the given ones, counted from 1.
  std::size_t add_ones(std::initializer_list<std::size_t> ones) {
    const std::size_t genome = add();
    for (const std::size_t locus : ones) {
      flip(genome, locus - 1);
    }
    return genome;
  }
  std::size_t add_copy(std::size_t genome) {
    const std::size_t copy = add();
    for (std::size_t w = 0; w < words_; ++w) {
      bits_[copy * words_ + w] = bits_[genome * words_ + w];
    }
    return copy;
  }
  std::size_t add_random(std::mt19937_64& rng) {
    const std::size_t genome = add();
    for (std::size_t locus = 0; locus < loci_; ++locus) {
      if (rng() & 1) {
        flip(genome, locus);
      }
    }
    return genome;
  }

  bool locus(std::size_t genome, std::size_t locus) const {
    return (bits_[genome * words_ + locus / 64] >> (locus % 64)) & 1;
  }
  void flip(std::size_t genome, std::size_t locus) {
    bits_[genome * words_ + locus / 64] ^= std::uint64_t{1} << (locus % 64);
  }

  // The genetic distance counted locus by locus, the way the records define it.
  std::int64_t locus_by_locus_distance(std::size_t a, std::size_t b) const {
    std::int64_t distance = 0;
    for (std::size_t l = 0; l < loci_; ++l) {
      distance += locus(a, l) != locus(b, l) ? 1 : 0;
    }
    return distance;
  }

 private:
  std::size_t loci_;
  std::size_t words_;
  std::size_t count_ = 0;
  std::vector<std::uint64_t> bits_;
};

}  // namespace parasim::species::testing
