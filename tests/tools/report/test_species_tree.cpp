#include "species_tree.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "history_fixture.hpp"
#include "lineages.hpp"
#include "report/history_layout.hpp"

namespace parasim::report_tool {
namespace {

// Rows of the first seven columns of species.csv: the tree does not look at the hosts.
SpeciesTable table_of(const std::string& rows) {
  return testing::species_from_text(std::string(report::history_species_header_without_hosts) +
                                    "\n" + rows);
}

struct TreeCase {
  const char* what;
  std::string rows;
  std::string full;
  std::string extant;
  std::vector<std::int32_t> tip_order;  // of the full tree
  std::int64_t colless;                 // of the extant tree
  double gamma;                         // of the extant tree; NAN where it has none
};

// Small trees worked out by hand. Gamma: with split times b1 <= ... <= b(n-1), the present
// b(n), g_k = b_k - b(k-1) generations with k lineages, T = sum k g_k over k = 2 ... n,
// gamma = (sum over i = 2 ... n-1 of (sum of k g_k up to i) / (n - 2) - T / 2)
//         / (T sqrt(1 / (12 (n - 2)))).
const std::vector<TreeCase>& tree_cases() {
  static const std::vector<TreeCase> cases{
      {"the founders alone", "1,1,,1,3,30,true\n", "sp1_L1:29;", "sp1_L1:29;", {1}, 0, NAN},
      {"one split",
       "1,1,,1,3,30,true\n2,2,1,10,11,30,true\n",
       "(sp1_L1:20,sp2_L2:20):9;",
       "(sp1_L1:20,sp2_L2:20):9;",
       {1, 2},
       0,
       NAN},
      // Three tips, splits at 2 and 4, present 5: g2 = 2, g3 = 1, T = 7;
      // gamma = (4 - 3.5) / (7 sqrt(1/12)) = 0.5 sqrt(12) / 7.
      {"three tips",
       "1,1,,1,3,5,true\n2,2,1,2,11,5,true\n3,3,1,4,12,5,true\n",
       "((sp1_L1:1,sp3_L3:1):2,sp2_L2:3):1;",
       "((sp1_L1:1,sp3_L3:1):2,sp2_L2:3):1;",
       {1, 3, 2},
       1,
       0.5 * std::sqrt(12.0) / 7.0},
      // A caterpillar of four: Colless 2 + 1 + 0; g2 = g3 = g4 = 1, T = 9;
      // gamma = ((2 + 5) / 2 - 4.5) / (9 sqrt(1/24)) = -sqrt(24) / 9.
      {"a caterpillar",
       "1,1,,1,3,5,true\n2,2,1,2,11,5,true\n3,3,1,3,11,5,true\n4,4,1,4,11,5,true\n",
       "(((sp1_L1:1,sp4_L4:1):1,sp3_L3:2):1,sp2_L2:3):1;",
       "(((sp1_L1:1,sp4_L4:1):1,sp3_L3:2):1,sp2_L2:3):1;",
       {1, 4, 3, 2},
       3,
       -std::sqrt(24.0) / 9.0},
      // The fixture: species 3 dies, so its split leaves the extant tree and the branch to
      // species 5's split grows from 4 to 6. Splits 3, 8, 9, present 12: g = 5, 1, 3, T = 25;
      // gamma = ((10 + 13) / 2 - 12.5) / (25 sqrt(1/24)) = -sqrt(24) / 25.
      {"the fixture",
       "1,1,,1,3,12,true\n2,2,1,3,11,12,true\n3,3,1,5,11,7,false\n4,3,2,8,11,12,true\n"
       "5,4,1,9,11,12,true\n",
       "(((sp1_L1:3,sp5_L4:3):4,sp3_L3:2):2,(sp2_L2:4,sp4_L3:4):5):2;",
       "((sp1_L1:3,sp5_L4:3):6,(sp2_L2:4,sp4_L3:4):5):2;",
       {1, 5, 3, 2, 4},
       0,
       -std::sqrt(24.0) / 25.0},
      // Species 1 dies leaving its daughter: the extant tree is one tip whose branch runs
      // from the founding.
      {"a mother gone",
       "1,1,,1,3,6,false\n2,2,1,4,11,9,true\n",
       "(sp1_L1:2,sp2_L2:5):3;",
       "sp2_L2:8;",
       {1, 2},
       0,
       NAN},
      // Two daughters born in the same generation: a split of length 0. g2 = 0, g3 = 3,
      // T = 9; gamma = (0 - 4.5) / (9 sqrt(1/12)) = -sqrt(12) / 2.
      {"twins",
       "1,1,,1,3,8,true\n2,2,1,5,11,8,true\n3,3,1,5,11,8,true\n",
       "((sp1_L1:3,sp3_L3:3):0,sp2_L2:3):4;",
       "((sp1_L1:3,sp3_L3:3):0,sp2_L2:3):4;",
       {1, 3, 2},
       1,
       -std::sqrt(12.0) / 2.0},
      // Every split at the present: no time with more than one lineage, no gamma.
      {"late splits",
       "1,1,,1,3,8,true\n2,2,1,8,11,8,true\n3,3,1,8,11,8,true\n",
       "((sp1_L1:0,sp3_L3:0):0,sp2_L2:0):7;",
       "((sp1_L1:0,sp3_L3:0):0,sp2_L2:0):7;",
       {1, 3, 2},
       1,
       NAN},
  };
  return cases;
}

TEST(SpeciesTree, SmallTreesWorkedOutByHand) {
  for (const TreeCase& tree_case : tree_cases()) {
    SCOPED_TRACE(tree_case.what);
    const SpeciesTable species = table_of(tree_case.rows);
    const SpeciesTree full = full_species_tree(species);
    const SpeciesTree extant = extant_species_tree(species);
    EXPECT_EQ(newick_text(full, species), tree_case.full);
    EXPECT_EQ(newick_text(extant, species), tree_case.extant);
    EXPECT_EQ(full.tip_species(), tree_case.tip_order);
    EXPECT_EQ(colless_index(extant), tree_case.colless);
    const std::optional<double> gamma = gamma_statistic(extant, species.last_generation());
    if (std::isnan(tree_case.gamma)) {
      EXPECT_FALSE(gamma.has_value()) << *gamma;
    } else {
      ASSERT_TRUE(gamma.has_value());
      EXPECT_NEAR(*gamma, tree_case.gamma, 1e-12);
    }
  }
}

TEST(SpeciesTree, AnEmptyHistoryGivesEmptyTrees) {
  const SpeciesTable species = table_of("");
  EXPECT_EQ(newick_text(full_species_tree(species), species), ";");
  EXPECT_EQ(newick_text(extant_species_tree(species), species), ";");
  EXPECT_TRUE(lineages_through_time(species, extant_species_tree(species)).empty());
}

TEST(Lineages, CountTheFixtureGenerationByGeneration) {
  const SpeciesTable species =
      testing::species_from_text(testing::file_text(testing::five_species_history / "species.csv"));
  const std::vector<LineageCount> counts =
      lineages_through_time(species, extant_species_tree(species));
  ASSERT_EQ(counts.size(), 12u);
  // generation: alive, speciation events, extinctions, extant lineages
  const std::vector<std::vector<std::int64_t>> expected{
      {1, 1, 0, 0, 1}, {2, 1, 0, 0, 1},  {3, 2, 1, 0, 2},  {4, 2, 1, 0, 2},
      {5, 3, 2, 0, 2}, {6, 3, 2, 0, 2},  {7, 3, 2, 0, 2},  {8, 3, 3, 1, 3},
      {9, 4, 4, 1, 4}, {10, 4, 4, 1, 4}, {11, 4, 4, 1, 4}, {12, 4, 4, 1, 4}};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const LineageCount& count = counts[i];
    EXPECT_EQ(
        (std::vector<std::int64_t>{count.generation, count.species_alive, count.speciation_events,
                                   count.extinctions, count.extant_lineages}),
        expected[i]);
  }
}

// A made-up history of n species: each born from a random living earlier species, ending at
// a random generation or living to the end.
SpeciesTable random_history(std::mt19937& random, int n, std::int32_t end) {
  std::vector<SpeciesEntry> entries;
  std::vector<std::int32_t> next_free_label(1, 1);
  for (int s = 1; s <= n; ++s) {
    SpeciesEntry entry;
    entry.species = s;
    entry.label = s;  // labels are not what shapes the tree
    entry.size_at_birth = 11;
    if (s == 1) {
      entry.born = 1;
      entry.last_seen = end;
    } else {
      const std::int32_t born_at_least = entries.back().born;
      std::vector<std::int32_t> parents;
      for (const SpeciesEntry& earlier : entries) {
        if (earlier.last_seen >= born_at_least) {
          parents.push_back(earlier.species);
        }
      }
      const SpeciesEntry& parent =
          entries[static_cast<std::size_t>(parents[random() % parents.size()]) - 1];
      entry.parent = parent.species;
      entry.born = born_at_least +
                   static_cast<std::int32_t>(
                       random() % static_cast<std::uint32_t>(parent.last_seen - born_at_least + 1));
      entry.last_seen =
          random() % 3 == 0
              ? end
              : entry.born + static_cast<std::int32_t>(
                                 random() % static_cast<std::uint32_t>(end - entry.born + 1));
    }
    entry.extant = entry.last_seen == end;
    entries.push_back(entry);
  }
  return SpeciesTable(entries);
}

// Whatever the history: every species is one tip of the full tree, at the distance from the
// founding that its end lies; the branches add up to the species' lifetimes; the extant tree
// holds exactly the extant species, and the lineage counts end with them.
TEST(SpeciesTree, InvariantsOnManyMadeUpHistories) {
  std::mt19937 random(20240611);
  for (int n = 1; n <= 120; n += 7) {
    SCOPED_TRACE("species " + std::to_string(n));
    const SpeciesTable species = random_history(random, n, 400);
    const SpeciesTree full = full_species_tree(species);
    const SpeciesTree extant = extant_species_tree(species);
    ASSERT_EQ(full.tip_count(), species.size());
    ASSERT_EQ(full.nodes().size(), 2 * species.size() - 1);
    std::int64_t branches = 0;
    std::int64_t lifetimes = 0;
    for (std::size_t i = 0; i < full.nodes().size(); ++i) {
      const TreeNode& node = full.nodes()[i];
      ASSERT_GE(full.branch_length(i), 0);
      branches += full.branch_length(i);
      if (node.is_tip()) {
        std::int64_t depth = 0;
        for (std::int32_t up = static_cast<std::int32_t>(i); up >= 0;
             up = full.nodes()[static_cast<std::size_t>(up)].parent) {
          depth += full.branch_length(static_cast<std::size_t>(up));
        }
        EXPECT_EQ(depth, species.at(node.species).last_seen - 1);
      }
    }
    for (const SpeciesEntry& entry : species.entries()) {
      lifetimes += entry.last_seen - entry.born;
    }
    EXPECT_EQ(branches, lifetimes);
    std::vector<std::int32_t> extant_species;
    for (const SpeciesEntry& entry : species.entries()) {
      if (entry.extant) {
        extant_species.push_back(entry.species);
      }
    }
    std::vector<std::int32_t> tips = extant.tip_species();
    std::sort(tips.begin(), tips.end());
    EXPECT_EQ(tips, extant_species);
    for (const TreeNode& node : extant.nodes()) {
      if (node.is_tip()) {
        EXPECT_EQ(node.time, 400);
      }
    }
    const std::vector<LineageCount> counts = lineages_through_time(species, extant);
    EXPECT_EQ(counts.back().species_alive, static_cast<std::int64_t>(extant_species.size()));
    EXPECT_EQ(counts.back().extant_lineages, static_cast<std::int64_t>(extant_species.size()));
  }
}

}  // namespace
}  // namespace parasim::report_tool
