#include "species/packed_genomes.hpp"

#include <gtest/gtest.h>

#include <random>

#include "genome_table.hpp"

namespace parasim::species {
namespace {

using testing::GenomeTable;

TEST(PackedGenomes, DistancesMatchALocusByLocusCount) {
  std::mt19937_64 rng(11);
  for (const std::size_t loci : {0, 1, 63, 64, 65, 130, 1000}) {
    GenomeTable table(loci);
    const std::size_t zeros = table.add();
    const std::size_t ones = table.add();
    for (std::size_t l = 0; l < loci; ++l) {
      table.flip(ones, l);
    }
    for (int i = 0; i < 20; ++i) {
      const std::size_t genome = table.add_random(rng);
      if (loci > 0) {
        // A near copy too, so that small distances occur at every size.
        table.flip(table.add_copy(genome), rng() % loci);
      }
    }
    const PackedGenomes packed = table.view();
    EXPECT_EQ(genetic_distance(packed.genome(zeros), packed.genome(ones), packed.words_per_genome),
              static_cast<std::int64_t>(loci));
    for (std::size_t a = 0; a < table.count(); ++a) {
      for (std::size_t b = 0; b < table.count(); ++b) {
        const std::int64_t expected = table.locus_by_locus_distance(a, b);
        const std::uint64_t* ga = packed.genome(a);
        const std::uint64_t* gb = packed.genome(b);
        ASSERT_EQ(genetic_distance(ga, gb, packed.words_per_genome), expected)
            << loci << " loci, genomes " << a << ", " << b;
        for (const std::int64_t limit : {expected - 1, expected, expected + 1, std::int64_t{-1},
                                         std::int64_t{0}, std::int64_t{1} << 40}) {
          ASSERT_EQ(within_distance(ga, gb, packed.words_per_genome, limit), expected <= limit)
              << loci << " loci, genomes " << a << ", " << b << ", limit " << limit;
        }
      }
    }
  }
}

}  // namespace
}  // namespace parasim::species
