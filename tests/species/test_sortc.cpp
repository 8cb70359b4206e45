#include "species/sortc.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "reference/adapters.hpp"

namespace parasim::species {
namespace {

std::vector<std::int32_t> clusters_in_row_order(const std::vector<TallyRow>& rows) {
  std::vector<std::int32_t> clusters;
  for (const TallyRow& row : rows) {
    clusters.push_back(row.cluster);
  }
  return clusters;
}

TEST(Sortc, BringsTheLargestTallyUpAndLeavesTheRestUnsorted) {
  std::vector<TallyRow> rows{{1, 20}, {2, 12}, {3, 15}, {4, 5}};
  sortc(rows);
  EXPECT_EQ(clusters_in_row_order(rows), (std::vector<std::int32_t>{1, 3, 2, 4}));

  std::vector<TallyRow> tie{{1, 11}, {2, 11}};
  sortc(tie);
  EXPECT_EQ(clusters_in_row_order(tie), (std::vector<std::int32_t>{1, 2}));

  std::vector<TallyRow> unsorted{{1, 1}, {2, 3}, {3, 2}, {4, 4}};
  sortc(unsorted);
  EXPECT_EQ(clusters_in_row_order(unsorted), (std::vector<std::int32_t>{4, 1, 2, 3}));
}

TEST(Sortc, MatchesTheReferencePassAndIgnoresRowsWithoutCarriers) {
  std::mt19937_64 rng(9);
  for (int trial = 0; trial < 2000; ++trial) {
    const auto cluster_count = static_cast<std::int32_t>(1 + rng() % 12);
    std::vector<TallyRow> rows;
    std::vector<TallyRow> carried_rows;
    for (std::int32_t c = 1; c <= cluster_count; ++c) {
      const auto tally = static_cast<std::int32_t>(rng() % 3 == 0 ? 0 : rng() % 5);
      rows.push_back({tally > 0 ? c : 0, tally});
      if (tally > 0) {
        carried_rows.push_back({c, tally});
      }
    }
    std::vector<TallyRow> expected = rows;
    reference::sortc(expected);
    sortc(rows);
    sortc(carried_rows);
    std::vector<TallyRow> expected_carried_rows;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      ASSERT_EQ(rows[r].cluster, expected[r].cluster) << "row " << r;
      ASSERT_EQ(rows[r].tally, expected[r].tally) << "row " << r;
      if (expected[r].tally > 0) {
        expected_carried_rows.push_back(expected[r]);
      }
    }
    ASSERT_EQ(clusters_in_row_order(carried_rows), clusters_in_row_order(expected_carried_rows));
  }
}

}  // namespace
}  // namespace parasim::species
