#include "species/mating_groups.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "genetics_cases.hpp"
#include "reference/reference_genetics.hpp"
#include "species/one_sweep_clustering.hpp"

namespace parasim::species {
namespace {

using reference::SpeciesComponents;

std::vector<SpeciesComponents> as_reference(const std::vector<SpeciesInGroups>& rows) {
  std::vector<SpeciesComponents> out;
  for (const SpeciesInGroups& row : rows) {
    out.push_back({row.species, row.parasites, row.groups, row.largest_group, row.shared_groups});
  }
  return out;
}

// The groups and their tally by species against a plain search of the connected components,
// at thresholds that link nothing, only identical genomes, some, and everything.
TEST(MatingGroups, AreTheConnectedComponentsOfAPlainSearch) {
  std::mt19937_64 rng(22);
  MatingGroups groups;
  for (const testing::GeneticsCase& c : testing::genetics_cases(rng)) {
    const auto n = static_cast<std::int32_t>(c.species_of.size());
    const auto loci = static_cast<std::int32_t>(c.genomes.loci());
    const auto species_of = testing::one_based(c.species_of);
    for (const std::int32_t threshold : {-1, 0, 1, 4, loci / 10 + 2, loci}) {
      reference::OneBased<std::int32_t> component_of(n);
      const std::int32_t count = reference::connected_components(
          n, testing::locus_by_locus(c.genomes), threshold, component_of);
      const auto& rows = groups.measure(c.genomes.view(), c.species_of, threshold);
      const std::string where = std::to_string(n) + " parasites of " + std::to_string(loci) +
                                " loci, threshold " + std::to_string(threshold);
      ASSERT_EQ(groups.group_count(), static_cast<std::size_t>(count)) << where;
      for (std::int32_t i = 1; i <= n; ++i) {
        ASSERT_EQ(groups.group_of()[static_cast<std::size_t>(i - 1)], component_of(i) - 1)
            << where << ", parasite " << i;
      }
      ASSERT_EQ(as_reference(rows),
                reference::components_by_species(n, species_of, component_of, count))
          << where;
    }
  }
}

// A group is a whole component whatever the order of the parasites, where the clustering's one
// sweep is not: 1110 is linked to 1100 only, which joins the first cluster behind the sweep.
TEST(MatingGroups, HoldWholeComponentsThatTheOneSweepClusteringSplits) {
  testing::GenomeTable table(4);
  table.add_ones({});
  table.add_ones({1, 2});
  table.add_ones({2});
  table.add_ones({1, 2, 3});
  std::vector<std::int32_t> cluster_of(4);
  OneSweepClustering clustering;
  EXPECT_EQ(clustering.cluster(table.view(), 1, cluster_of), 2);
  MatingGroups groups;
  const std::vector<std::int32_t> species_of = {1, 1, 1, 2};
  const auto& rows = groups.measure(table.view(), species_of, 1);
  EXPECT_EQ(groups.group_count(), 1u);
  EXPECT_EQ(as_reference(rows), (std::vector<SpeciesComponents>{{1, 3, 1, 3, 1}, {2, 1, 1, 1, 1}}));
}

}  // namespace
}  // namespace parasim::species
