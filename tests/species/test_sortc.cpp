#include "species/sortc.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "plain_species.hpp"

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

TEST(Sortc, MatchesThePlainPassAndIgnoresRowsWithoutCarriers) {
  std::mt19937_64 rng(9);
  for (int trial = 0; trial < 2000; ++trial) {
    const auto cluster_count = static_cast<std::int32_t>(1 + rng() % 12);
    std::vector<std::int32_t> table(2 * static_cast<std::size_t>(cluster_count), 0);
    std::vector<TallyRow> rows;
    std::vector<TallyRow> carried_rows;
    for (std::int32_t c = 1; c <= cluster_count; ++c) {
      const auto tally = static_cast<std::int32_t>(rng() % 3 == 0 ? 0 : rng() % 5);
      table[static_cast<std::size_t>(c - 1)] = tally > 0 ? c : 0;
      table[static_cast<std::size_t>(cluster_count + c - 1)] = tally;
      rows.push_back({tally > 0 ? c : 0, tally});
      if (tally > 0) {
        carried_rows.push_back({c, tally});
      }
    }
    testing::plain_sortc(table, cluster_count);
    sortc(rows);
    sortc(carried_rows);
    std::vector<TallyRow> plain_carried_rows;
    for (std::int32_t r = 0; r < cluster_count; ++r) {
      const std::size_t row = static_cast<std::size_t>(r);
      ASSERT_EQ(rows[row].cluster, table[row]);
      ASSERT_EQ(rows[row].tally, table[static_cast<std::size_t>(cluster_count) + row]);
      if (rows[row].tally > 0) {
        plain_carried_rows.push_back(rows[row]);
      }
    }
    ASSERT_EQ(clusters_in_row_order(carried_rows), clusters_in_row_order(plain_carried_rows));
  }
}

}  // namespace
}  // namespace parasim::species
