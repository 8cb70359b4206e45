#include "species/genome_heads.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "genome_table.hpp"

namespace parasim::species {
namespace {

using testing::GenomeTable;

// Near copies of one random genome, differing at up to four loci drawn from the ends of
// the words around the head (loci 0, 63, 64, 127, 128 and their neighbours), so that
// distances sit on both sides of small limits and on both sides of the head's edge.
GenomeTable near_copies(std::size_t loci, std::size_t count, std::mt19937_64& rng) {
  GenomeTable table(loci);
  const std::size_t base = table.add_random(rng);
  const std::size_t edges[] = {0, 1, 62, 63, 64, 65, 126, 127, 128, 129, 191, 192};
  for (std::size_t i = 1; i < count; ++i) {
    const std::size_t genome = table.add_copy(base);
    for (std::size_t flips = rng() % 5; flips > 0 && loci > 0; --flips) {
      const std::size_t locus = edges[rng() % std::size(edges)];
      table.flip(genome, locus < loci ? locus : rng() % loci);
    }
  }
  return table;
}

TEST(GenomeHeads, EveryPathsScanFindsTheHeadsWithinTheLimitCountedLocusByLocus) {
  std::mt19937_64 rng(5);
  for (const std::size_t loci : {1, 63, 64, 65, 127, 128, 129, 300}) {
    // Counts around multiples of the four heads the vector scan takes at once.
    for (const std::size_t count : {1, 2, 4, 5, 8, 11, 40}) {
      const GenomeTable table = near_copies(loci, count, rng);
      const PackedGenomes packed = table.view();
      // The first 128 loci of every genome, counted locus by locus for the expected places.
      GenomeTable heads_only(std::min<std::size_t>(loci, 128));
      std::vector<std::uint64_t> first;
      std::vector<std::uint64_t> second;
      for (std::size_t g = 0; g < count; ++g) {
        const Head head = head_of(packed.genome(g), packed.words_per_genome);
        first.push_back(head.first);
        second.push_back(head.second);
        const std::size_t copy = heads_only.add();
        for (std::size_t l = 0; l < std::min<std::size_t>(loci, 128); ++l) {
          if (table.locus(g, l)) {
            heads_only.flip(copy, l);
          }
        }
      }
      const HeadColumns columns{first.data(), second.data(), count};
      for (std::size_t from = 0; from < count; ++from) {
        const Head head = head_of(packed.genome(from), packed.words_per_genome);
        for (const std::int64_t limit : {-1, 0, 1, 2, 3, 128}) {
          std::vector<std::uint32_t> expected;
          for (std::size_t g = 0; g < count; ++g) {
            if (heads_only.locus_by_locus_distance(from, g) <= limit) {
              expected.push_back(static_cast<std::uint32_t>(g));
            }
          }
          for (const random::VectorPath path : random::all_vector_paths) {
            if (!random::processor_paths().has(path)) {
              continue;
            }
            std::vector<std::uint32_t> found(count);
            found.resize(near_heads(path, columns, head, limit, found.data()));
            ASSERT_EQ(found, expected) << loci << " loci, " << count << " heads, limit " << limit
                                       << ", " << random::vector_path_name(path);
          }
        }
      }
    }
  }
}

TEST(GenomeHeads, WithinFindsTheWholeGenomesWithinTheLimitAfterRemovals) {
  std::mt19937_64 rng(8);
  for (const std::size_t loci : {0, 64, 129, 300, 1000}) {
    const GenomeTable table = near_copies(loci, 30, rng);
    const PackedGenomes packed = table.view();
    GenomeHeads heads;
    std::vector<std::size_t> genome_at;  // the genome whose head is at each place
    for (std::size_t g = 0; g < table.count(); ++g) {
      heads.push_back(packed.genome(g), packed.words_per_genome);
      genome_at.push_back(g);
    }
    // Removing moves the last head into the place removed from, as it moves the genomes.
    for (const std::size_t place : {0, 7, 27, 3}) {
      heads.remove_at(place);
      genome_at[place] = genome_at.back();
      genome_at.pop_back();
    }
    ASSERT_EQ(heads.size(), genome_at.size());
    for (std::size_t from = 0; from < table.count(); ++from) {
      for (const std::int64_t limit : {-1, 0, 1, 2, 4}) {
        std::vector<std::uint32_t> expected;
        for (std::size_t i = 0; i < genome_at.size(); ++i) {
          if (table.locus_by_locus_distance(from, genome_at[i]) <= limit) {
            expected.push_back(static_cast<std::uint32_t>(i));
          }
        }
        std::vector<std::uint32_t> found(heads.size());
        found.resize(heads.within(
            packed.genome(from), packed.words_per_genome, limit,
            [&](std::size_t i) { return packed.genome(genome_at[i]); }, found.data()));
        ASSERT_EQ(found, expected) << loci << " loci, genome " << from << ", limit " << limit;
      }
    }
  }
}

}  // namespace
}  // namespace parasim::species
