#include "species/genome_groups.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "random_populations.hpp"

namespace parasim::species {
namespace {

TEST(GenomeGroups, GroupsExactlyTheIdenticalGenomesInOrderOfFirstMember) {
  std::mt19937_64 rng(3);
  GenomeGroups groups;
  for (const std::size_t loci : {0, 1, 64, 130}) {
    for (const auto shape : testing::all_population_shapes) {
      const testing::GenomeTable table = testing::random_population(loci, 300, shape, rng);
      const PackedGenomes genomes = table.view();
      groups.build(genomes);

      std::int32_t next_new_group = 0;
      std::vector<std::int32_t> seen_members;
      for (std::size_t i = 0; i < genomes.count; ++i) {
        const std::int32_t group = groups.group_of(i);
        if (group == next_new_group) {
          ++next_new_group;
        }
        ASSERT_LT(group, next_new_group) << "groups are numbered by their first member";
        for (std::size_t j = 0; j < i; ++j) {
          const bool identical = table.locus_by_locus_distance(i, j) == 0;
          ASSERT_EQ(groups.group_of(j) == group, identical) << loci << " loci: " << i << ", " << j;
        }
        ASSERT_TRUE(std::equal(groups.genome(group),
                               groups.genome(group) + genomes.words_per_genome, genomes.genome(i)));
      }
      ASSERT_EQ(groups.group_count(), static_cast<std::size_t>(next_new_group));
      for (std::int32_t g = 0; g < next_new_group; ++g) {
        const auto members = groups.members(g);
        ASSERT_TRUE(std::is_sorted(members.begin(), members.end()));
        for (const std::int32_t member : members) {
          ASSERT_EQ(groups.group_of(static_cast<std::size_t>(member)), g);
          seen_members.push_back(member);
        }
      }
      ASSERT_EQ(seen_members.size(), genomes.count) << "every parasite in exactly one group";
    }
  }
}

}  // namespace
}  // namespace parasim::species
