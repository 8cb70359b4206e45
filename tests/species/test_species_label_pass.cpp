#include "species/species_label_pass.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "cluster_blocks.hpp"
#include "reference/adapters.hpp"

namespace parasim::species {
namespace {

using Labels = std::vector<std::int32_t>;

using testing::cluster_blocks;

// The label of each cluster after the pass, checking that its members agree.
Labels labels_by_cluster(const std::vector<std::int32_t>& cluster_of, const Labels& species_id) {
  const std::int32_t count = *std::max_element(cluster_of.begin(), cluster_of.end());
  Labels by_cluster(static_cast<std::size_t>(count), 0);
  for (std::size_t i = 0; i < cluster_of.size(); ++i) {
    std::int32_t& label = by_cluster[static_cast<std::size_t>(cluster_of[i] - 1)];
    EXPECT_TRUE(label == 0 || label == species_id[i]) << "cluster " << cluster_of[i] << " mixed";
    label = species_id[i];
  }
  return by_cluster;
}

Labels relabel(SpeciesLabelPass& pass, const std::vector<std::int32_t>& cluster_of,
               Labels species_id) {
  const std::int32_t count = *std::max_element(cluster_of.begin(), cluster_of.end());
  pass.relabel(cluster_of, count, species_id);
  return species_id;
}

TEST(SpeciesLabelPass, FirstGenerationSplitsByTallyInTheOrderSortcLeaves) {
  SpeciesLabelPass pass;
  const auto four = cluster_blocks({20, 12, 15, 5});
  EXPECT_EQ(labels_by_cluster(four, relabel(pass, four, Labels(52, 1))), (Labels{1, 3, 2, 1}));

  const auto tie = cluster_blocks({11, 11});
  EXPECT_EQ(labels_by_cluster(tie, relabel(pass, tie, Labels(22, 1))), (Labels{1, 2}));

  // docs/model.md: one pass from the last row up leaves the rows in neither cluster nor tally
  // order, and fresh labels follow it.
  const auto five = cluster_blocks({12, 30, 11, 14, 13});
  EXPECT_EQ(labels_by_cluster(five, relabel(pass, five, Labels(80, 1))), (Labels{2, 1, 4, 3, 5}));

  const auto ten_and_eleven = cluster_blocks({10, 11});
  EXPECT_EQ(relabel(pass, ten_and_eleven, Labels(21, 1)), Labels(21, 1));
}

TEST(SpeciesLabelPass, LabelsNobodyCarriesUseNoFreshLabel) {
  SpeciesLabelPass pass;
  // Labels 1 and 3 carried, 2 not: the split in turn 3 gets 4.
  const auto clusters = cluster_blocks({12, 11, 5});
  Labels species_id(28, 3);
  std::fill(species_id.begin() + 23, species_id.end(), 1);
  EXPECT_EQ(labels_by_cluster(clusters, relabel(pass, clusters, species_id)), (Labels{3, 4, 1}));

  EXPECT_EQ(relabel(pass, {1}, {4}), Labels{4});

  // Species 2 of an earlier call has died out: the split takes label 2 again.
  relabel(pass, cluster_blocks({11, 11}), Labels(22, 2));
  const auto split = cluster_blocks({15, 11});
  EXPECT_EQ(labels_by_cluster(split, relabel(pass, split, Labels(26, 1))), (Labels{1, 2}));
}

TEST(SpeciesLabelPass, ClusterIsRelabelledWholeAtMostOnce) {
  SpeciesLabelPass pass;
  // The lone carrier of label 1 takes its cluster of 30 carriers of label 2 with it.
  Labels lone_carrier(31, 2);
  lone_carrier[17] = 1;
  EXPECT_EQ(relabel(pass, Labels(31, 1), lone_carrier), Labels(31, 1));

  // 12 carriers of 1 and 3 of 2, outside row 1 in turn 1: all 15 take the fresh label.
  const auto clusters = cluster_blocks({20, 15});
  Labels species_id(35, 1);
  std::fill(species_id.begin() + 32, species_id.end(), 2);
  EXPECT_EQ(labels_by_cluster(clusters, relabel(pass, clusters, species_id)), (Labels{1, 3}));
}

TEST(SpeciesLabelPass, SplitWithoutAFreshLabelLeftKeepsItsLabels) {
  constexpr std::int32_t top = std::numeric_limits<std::int32_t>::max();
  SpeciesLabelPass pass;
  const auto clusters = cluster_blocks({12, 11, 11});
  EXPECT_EQ(labels_by_cluster(clusters, relabel(pass, clusters, Labels(34, top - 1))),
            (Labels{top - 1, top, top - 1}));
  EXPECT_EQ(relabel(pass, clusters, Labels(34, top)), Labels(34, top));
}

// Clusters of random sizes in random rows, each mostly carrying one label of a pool
// with gaps, sometimes a large one.
void random_generation(std::mt19937_64& rng, std::vector<std::int32_t>& cluster_of,
                       Labels& species_id, std::int32_t largest_label) {
  Labels pool;
  for (std::size_t p = 1 + rng() % 6; p > 0; --p) {
    pool.push_back(static_cast<std::int32_t>(1 + rng() % 12));
  }
  if (rng() % 4 == 0) {
    pool.push_back(largest_label);
  }
  const auto cluster_count = static_cast<std::int32_t>(1 + rng() % 25);
  cluster_of.clear();
  species_id.clear();
  for (std::int32_t c = 1; c <= cluster_count; ++c) {
    const std::int32_t main_label = pool[rng() % pool.size()];
    for (std::size_t size = 1 + rng() % (rng() % 3 == 0 ? 40 : 12); size > 0; --size) {
      cluster_of.push_back(c);
      species_id.push_back(rng() % 5 == 0 ? pool[rng() % pool.size()] : main_label);
    }
  }
  std::vector<std::size_t> order(cluster_of.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
  }
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<std::int32_t> shuffled_clusters;
  Labels shuffled_labels;
  for (const std::size_t i : order) {
    shuffled_clusters.push_back(cluster_of[i]);
    shuffled_labels.push_back(species_id[i]);
  }
  cluster_of = shuffled_clusters;
  species_id = shuffled_labels;
}

TEST(SpeciesLabelPass, MatchesTheReferenceTurnByTurnPass) {
  std::mt19937_64 rng(41);
  SpeciesLabelPass pass;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<std::int32_t> cluster_of;
    Labels species_id;
    random_generation(rng, cluster_of, species_id, trial % 100 == 0 ? 20000 : 60);
    const std::int32_t count = *std::max_element(cluster_of.begin(), cluster_of.end());
    Labels expected = species_id;
    reference::carry_labels(cluster_of, count, expected);
    pass.relabel(cluster_of, count, species_id);
    ASSERT_EQ(species_id, expected) << "trial " << trial;
  }
}

}  // namespace
}  // namespace parasim::species
