#include "species/one_sweep_clustering.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "genome_table.hpp"
#include "random_populations.hpp"
#include "reference/adapters.hpp"
#include "sanitizer_build.hpp"

namespace parasim::species {
namespace {

using testing::GenomeTable;
using Clusters = std::vector<std::int32_t>;

struct Clustering {
  Clusters cluster_of;
  std::int32_t count = 0;
};

Clustering cluster(OneSweepClustering& clustering, const GenomeTable& genomes,
                   std::int32_t threshold) {
  Clustering result{Clusters(genomes.count(), -7), 0};
  result.count = clustering.cluster(genomes.view(), threshold, result.cluster_of);
  return result;
}

TEST(OneSweepClustering, SingleParasiteAndIdenticalGenomesFormOneCluster) {
  OneSweepClustering clustering;
  GenomeTable single(10);
  single.add_ones({2, 3});
  EXPECT_EQ(cluster(clustering, single, 1).cluster_of, Clusters{1});

  for (const std::size_t loci : {0, 65}) {
    GenomeTable identical(loci);
    for (int i = 0; i < 30; ++i) {
      identical.add();
    }
    const Clustering result = cluster(clustering, identical, 0);
    EXPECT_EQ(result.count, 1);
    EXPECT_EQ(result.cluster_of, Clusters(30, 1));
  }
}

TEST(OneSweepClustering, DistanceEqualToTheThresholdLinksAndOneMoreDoesNot) {
  OneSweepClustering clustering;
  GenomeTable genomes(130);
  genomes.add_ones({1, 64, 65});
  genomes.add_ones({130});  // distance 4
  EXPECT_EQ(cluster(clustering, genomes, 4).cluster_of, (Clusters{1, 1}));
  EXPECT_EQ(cluster(clustering, genomes, 3).cluster_of, (Clusters{1, 2}));
}

TEST(OneSweepClustering, ThresholdOfAtLeastTheGenomeSizeLinksEveryParasite) {
  std::mt19937_64 rng(5);
  GenomeTable genomes(65);
  for (int i = 0; i < 40; ++i) {
    genomes.add_random(rng);
  }
  OneSweepClustering clustering;
  for (const std::int32_t threshold : {65, 66, 1 << 30}) {
    EXPECT_EQ(cluster(clustering, genomes, threshold).cluster_of, Clusters(40, 1));
  }
}

TEST(OneSweepClustering, NegativeThresholdLinksNotEvenIdenticalGenomes) {
  GenomeTable genomes(8);
  for (int i = 0; i < 4; ++i) {
    genomes.add();
  }
  OneSweepClustering clustering;
  const Clustering result = cluster(clustering, genomes, -1);
  EXPECT_EQ(result.count, 4);
  EXPECT_EQ(result.cluster_of, (Clusters{1, 2, 3, 4}));
}

TEST(OneSweepClustering, ParasiteJoiningBehindTheSweepIsNeverScanned) {
  GenomeTable genomes(6);
  genomes.add_ones({});
  genomes.add_ones({1, 2, 3, 4, 5, 6});
  genomes.add_ones({1, 2});
  genomes.add_ones({1, 2, 3, 4, 5});
  genomes.add_ones({1});
  genomes.add_ones({2, 3, 4, 5, 6});
  genomes.add_ones({1, 2, 3});
  OneSweepClustering clustering;
  const Clustering result = cluster(clustering, genomes, 1);
  EXPECT_EQ(result.count, 3);
  EXPECT_EQ(result.cluster_of, (Clusters{1, 2, 1, 2, 1, 2, 3}));

  // docs/model.md: 0100 joins from the seed and takes in 1100, which the sweep has passed, so
  // 1110, linked to 1100 alone, starts a cluster of its own.
  GenomeTable four(4);
  four.add_ones({});
  four.add_ones({1, 2});
  four.add_ones({2});
  four.add_ones({1, 2, 3});
  EXPECT_EQ(cluster(clustering, four, 1).cluster_of, (Clusters{1, 1, 1, 2}));
}

TEST(OneSweepClustering, ScanLinksAGenomeOnTheWayBackToTheSeed) {
  // With T = 2, j = {1 ... 5} is reached from the seed (no loci set) by a detour
  // through a and b, and then links k = {1, 2, 3}, which lies on the way from the
  // seed to j: d(seed, k) = d(seed, j) - T, the edge of the pivot's reach. Eight
  // genomes next to the seed make the cluster large enough for the pivot.
  GenomeTable genomes(20);
  genomes.add_ones({});
  genomes.add_ones({4, 5});  // a
  for (std::size_t locus = 10; locus < 18; ++locus) {
    genomes.add_ones({locus});
  }
  genomes.add_ones({1, 4, 5});        // b
  genomes.add_ones({1, 2, 3, 4, 5});  // j
  genomes.add_ones({1, 2, 3});        // k
  OneSweepClustering clustering;
  EXPECT_EQ(cluster(clustering, genomes, 2).cluster_of, Clusters(13, 1));
}

void expect_reference_result(OneSweepClustering& clustering, const GenomeTable& genomes,
                             std::int32_t threshold) {
  const reference::Clusters expected = reference::sweep_clusters(genomes.view(), threshold);
  const Clustering result = cluster(clustering, genomes, threshold);
  ASSERT_EQ(result.count, expected.count)
      << genomes.count() << " parasites, " << genomes.loci() << " loci, threshold " << threshold;
  ASSERT_EQ(result.cluster_of, expected.cluster_of)
      << genomes.count() << " parasites, " << genomes.loci() << " loci, threshold " << threshold;
}

TEST(OneSweepClustering, MatchesTheReferenceSweepOnRandomPopulations) {
  std::mt19937_64 rng(2024);
  OneSweepClustering clustering;  // reused, as a run reuses it
  for (const std::size_t loci : {0, 1, 63, 64, 65, 130, 1000}) {
    const auto g = static_cast<std::int32_t>(loci);
    for (const auto shape : testing::all_population_shapes) {
      for (const std::int32_t threshold :
           {-1, 0, 1, 2, g / 10, g / 4, g / 2 - 2, g / 2, g, g + 1}) {
        for (const std::size_t count : {1, 2, 3, 7, 40, 250}) {
          expect_reference_result(clustering, testing::random_population(loci, count, shape, rng),
                                  threshold);
        }
      }
    }
  }
}

// The reference sweep's time grows with the square of the parasites: a sanitizer build takes
// 3000 of them at 64 loci alone, which with the 1000 at every width still runs every line of
// the sweep the whole set runs (the live buckets shrinking from both ends among them).
TEST(OneSweepClustering, MatchesTheReferenceSweepOnLargePopulations) {
  std::mt19937_64 rng(77);
  OneSweepClustering clustering;
  for (const std::size_t loci : {64, 200, 1000}) {
    for (const auto shape :
         {testing::PopulationShape::clumped, testing::PopulationShape::few_distinct,
          testing::PopulationShape::chain}) {
      for (const std::size_t count : {1000, 3000}) {
        if (::parasim::testing::sanitizer_build && count == 3000 && loci != 64) {
          continue;
        }
        const GenomeTable genomes = testing::random_population(loci, count, shape, rng);
        expect_reference_result(clustering, genomes, static_cast<std::int32_t>(loci / 10));
        expect_reference_result(clustering, genomes, static_cast<std::int32_t>(loci / 40));
      }
    }
  }
}

}  // namespace
}  // namespace parasim::species
