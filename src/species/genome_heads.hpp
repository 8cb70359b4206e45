#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "random/vector_paths.hpp"
#include "species/packed_genomes.hpp"

namespace parasim::species {

// The first two words of a genome (loci 0 ... 127), the missing words of short genomes 0.
struct Head {
  std::uint64_t first;
  std::uint64_t second;
};

inline constexpr std::size_t head_words = 2;

inline Head head_of(const std::uint64_t* genome, std::size_t words) {
  return {words > 0 ? genome[0] : 0, words > 1 ? genome[1] : 0};
}

// The heads of many genomes, in two columns. Genomes of different species mostly differ
// at more loci than a threshold within their heads already, so a search for the genomes
// near one genome reads the columns first, eight heads at a time on the avx512 path and
// four on the avx2 path, and looks at the rest of a genome only when its head is near
// enough.
class GenomeHeads {
 public:
  void clear();
  void push_back(const std::uint64_t* genome, std::size_t words);
  // The last head takes place i.
  void remove_at(std::size_t i);
  std::size_t size() const { return first_.size(); }

  // The number of loci at which head i differs from head.
  std::int64_t head_distance(std::size_t i, Head head) const {
    return std::popcount(first_[i] ^ head.first) + std::popcount(second_[i] ^ head.second);
  }

  // Writes the places, ascending, of the heads that differ from head at no more than
  // limit loci into found, which has room for size() places; returns how many there are.
  // Scans on the process's vector path (random::vector_path()).
  std::size_t near(Head head, std::int64_t limit, std::uint32_t* found) const;

  // The same for whole genomes: the places of the genomes that differ from genome at no
  // more than limit loci, where genome_at(i) is the genome whose head is at place i.
  template <typename GenomeAt>
  std::size_t within(const std::uint64_t* genome, std::size_t words, std::int64_t limit,
                     GenomeAt&& genome_at, std::uint32_t* found) const;

 private:
  std::vector<std::uint64_t> first_;
  std::vector<std::uint64_t> second_;
};

template <typename GenomeAt>
std::size_t GenomeHeads::within(const std::uint64_t* genome, std::size_t words, std::int64_t limit,
                                GenomeAt&& genome_at, std::uint32_t* found) const {
  const Head head = head_of(genome, words);
  const std::size_t skip = std::min(words, head_words);
  const std::size_t near_count = near(head, limit, found);
  std::size_t count = 0;
  for (std::size_t k = 0; k < near_count; ++k) {
    const std::size_t i = found[k];
    const std::int64_t rest = limit - head_distance(i, head);
    if (within_distance(genome + skip, genome_at(i) + skip, words - skip, rest)) {
      found[count++] = static_cast<std::uint32_t>(i);
    }
  }
  return count;
}

// The scan behind GenomeHeads::near on a vector path: the places, ascending, of the heads in
// the columns that differ from head at no more than limit loci, written to found, which
// has room for heads.count places and overlaps neither column. Returns how many there are.
struct HeadColumns {
  const std::uint64_t* first;
  const std::uint64_t* second;
  std::size_t count;
};
std::size_t near_heads(random::VectorPath path, HeadColumns heads, Head head, std::int64_t limit,
                       std::uint32_t* found);

}  // namespace parasim::species
