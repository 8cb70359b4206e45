// The reference clustering and label pass on small populations with known clusters and labels:
// the order-dependent single sweep, the inclusive threshold, ties, the size of a new species.
#include <gtest/gtest.h>

#include <vector>

#include "reference/reference_species.hpp"

namespace parasim::reference {
namespace {

// One row per genome string ("0110..."), species label `label` for every row.
Matrix<double> population_of(const std::vector<std::string>& genomes, double label) {
  const int genome_size = static_cast<int>(genomes.front().size());
  Matrix<double> population(static_cast<int>(genomes.size()), genome_size + 3);
  for (int i = 1; i <= population.rows(); ++i) {
    for (int l = 1; l <= genome_size; ++l) {
      population(i, l) =
          genomes[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(l - 1)] == '1' ? 1.0
                                                                                           : 0.0;
    }
    population(i, genome_size + 1) = label;
  }
  return population;
}

std::vector<std::string> blocks(const std::vector<std::pair<std::string, int>>& sizes) {
  std::vector<std::string> genomes;
  for (const auto& [genome, count] : sizes) {
    genomes.insert(genomes.end(), static_cast<std::size_t>(count), genome);
  }
  return genomes;
}

std::vector<int> labels_of(const Matrix<double>& population) {
  std::vector<int> labels;
  for (int i = 1; i <= population.rows(); ++i) {
    labels.push_back(static_cast<int>(population(i, population.columns() - 2)));
  }
  return labels;
}

TEST(ReferenceSpecies, SingleSweepLeavesAnOrderDependentThirdCluster) {
  const Matrix<double> population =
      population_of({"000000", "111111", "110000", "111110", "100000", "011111", "111000"}, 1.0);
  OneBased<std::int32_t> cluster_of(7);
  const std::int32_t count = cluster_genomes(population, cluster_of, 7, 9, 1);
  EXPECT_EQ(count, 3);
  const std::vector<std::int32_t> expected{1, 2, 1, 2, 1, 2, 3};
  for (int i = 1; i <= 7; ++i) {
    EXPECT_EQ(cluster_of(i), expected[static_cast<std::size_t>(i - 1)]) << "parasite " << i;
  }
}

TEST(ReferenceSpecies, DistanceEqualToTheThresholdLinks) {
  const Matrix<double> population = population_of({"0000", "1100", "1111"}, 1.0);
  OneBased<std::int32_t> cluster_of(3);
  EXPECT_EQ(cluster_genomes(population, cluster_of, 3, 7, 2), 1);
  EXPECT_EQ(cluster_genomes(population, cluster_of, 3, 7, 1), 3);
}

TEST(ReferenceSpecies, SortcBringsTheLargestTallyUpAndLeavesTheRest) {
  Matrix<std::int32_t> table(4, 2);
  const int tallies[] = {20, 12, 15, 5};
  for (int r = 1; r <= 4; ++r) {
    table(r, 1) = r;
    table(r, 2) = tallies[r - 1];
  }
  sortc(table, 4);
  EXPECT_EQ(table(1, 1), 1);
  EXPECT_EQ(table(2, 1), 3);
  EXPECT_EQ(table(3, 1), 2);
  EXPECT_EQ(table(4, 1), 4);
}

TEST(ReferenceSpecies, FourClustersOfOneLabel) {
  Matrix<double> population = population_of(
      blocks({{"00000000", 20}, {"11110000", 12}, {"00001111", 15}, {"11111111", 5}}), 1.0);
  OneBased<std::int32_t> cluster_of(52);
  species(population, cluster_of, 52, 11, 1);
  const std::vector<int> labels = labels_of(population);
  for (int i = 0; i < 52; ++i) {
    const int expected = i < 20 ? 1 : i < 32 ? 3 : i < 47 ? 2 : 1;
    EXPECT_EQ(labels[static_cast<std::size_t>(i)], expected) << "parasite " << i + 1;
  }
}

TEST(ReferenceSpecies, TieGoesToTheLowerClusterAndTenIsNotASpecies) {
  Matrix<double> tie = population_of(blocks({{"0000", 11}, {"1111", 11}}), 1.0);
  OneBased<std::int32_t> cluster_of(22);
  species(tie, cluster_of, 22, 7, 1);
  EXPECT_EQ(labels_of(tie).front(), 1);
  EXPECT_EQ(labels_of(tie).back(), 2);

  Matrix<double> small = population_of(blocks({{"0000", 10}, {"1111", 11}}), 1.0);
  species(small, cluster_of, 21, 7, 1);
  for (int label : labels_of(small)) {
    EXPECT_EQ(label, 1);
  }
}

TEST(ReferenceSpecies, LowerLabelTakesTheWholeClusterAndFreshLabelsStartAboveTheLargest) {
  // One carrier of label 1 among 30 of label 2, all one genome: everyone becomes 1.
  Matrix<double> merged = population_of(blocks({{"0101", 31}}), 2.0);
  merged(17, 5) = 1.0;
  OneBased<std::int32_t> cluster_of(31);
  species(merged, cluster_of, 31, 7, 1);
  for (int label : labels_of(merged)) {
    EXPECT_EQ(label, 1);
  }

  // Labels 1 and 3 carried, 2 not: a split gets 4.
  Matrix<double> gap = population_of(blocks({{"0000", 12}, {"1111", 12}, {"0011", 1}}), 1.0);
  gap(25, 5) = 3.0;
  OneBased<std::int32_t> cluster_gap(25);
  species(gap, cluster_gap, 25, 7, 1);
  const std::vector<int> labels = labels_of(gap);
  EXPECT_EQ(labels[0], 1);
  EXPECT_EQ(labels[12], 4);
  EXPECT_EQ(labels[24], 3);
}

}  // namespace
}  // namespace parasim::reference
