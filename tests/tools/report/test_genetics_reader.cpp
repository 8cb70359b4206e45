#include "genetics_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history_fixture.hpp"

namespace parasim::report_tool {
namespace {

using testing::expect_malformed;
using testing::species_from_text;
using testing::text_source;

// Species 1 from generation 1 to 20, species 2 (label 4) from 5 to 20, species 3 from 5 to 12.
const SpeciesTable species = species_from_text(
    "species,label,parent,born,size_at_birth,last_seen,extant\n"
    "1,1,,1,5,20,true\n2,4,1,5,11,20,true\n3,3,1,5,11,12,false\n");

const std::string divergence_header =
    "generation,species_a,species_b,pairs,mean_distance,min_distance,max_distance\n";
const std::string groups_header =
    "generation,species,label,parasites,groups,largest_group,shared_groups\n";

GeneticsHistory divergence_of(const std::string& rows) {
  return read_divergence(text_source(divergence_header + rows, 5), "divergence.csv", species, {});
}

GeneticsHistory groups_of(const std::string& rows) {
  return read_groups(text_source(groups_header + rows, 5), "groups.csv", species, {});
}

TEST(GeneticsReader, SumsEveryPairOfEachSampledGenerationAndKeepsTheLast) {
  const GeneticsHistory genetics = divergence_of(
      "1,1,1,10,2,1,3\n"
      "10,1,1,6,3,1,5\n10,1,2,12,20,10,30\n10,2,2,3,4,4,4\n10,2,3,0,,,\n10,3,3,0,,,\n");
  ASSERT_EQ(genetics.through_time.size(), 2u);
  EXPECT_EQ(genetics.through_time[0].generation, 1);
  EXPECT_EQ(genetics.through_time[0].within_pairs, 10);
  EXPECT_EQ(genetics.through_time[0].mean_within, 2.0);
  EXPECT_FALSE(genetics.through_time[0].mean_between);
  // Within: (6 x 3 + 3 x 4) / 9 pairs; between: 12 pairs at 20, none with species 3.
  EXPECT_EQ(genetics.through_time[1].within_pairs, 9);
  EXPECT_DOUBLE_EQ(*genetics.through_time[1].mean_within, 30.0 / 9.0);
  EXPECT_EQ(genetics.through_time[1].between_pairs, 12);
  EXPECT_EQ(genetics.through_time[1].mean_between, 20.0);
  EXPECT_EQ(genetics.divergence_generation, 10);
  ASSERT_EQ(genetics.divergence.size(), 5u);
  ASSERT_NE(genetics.pair(2, 1), nullptr);
  EXPECT_EQ(genetics.pair(2, 1)->mean_distance, 20.0);
  EXPECT_FALSE(genetics.pair(3, 3)->mean_distance);
  EXPECT_EQ(genetics.pair(1, 3), nullptr);

  const GeneticsHistory groups = groups_of("1,1,1,5,1,5,0\n10,1,1,4,2,3,1\n10,2,4,3,1,3,1\n");
  EXPECT_EQ(groups.groups_generation, 10);
  ASSERT_NE(groups.groups_of(1), nullptr);
  EXPECT_EQ(groups.groups_of(1)->groups, 2);
  EXPECT_EQ(groups.groups_of(3), nullptr);
}

TEST(GeneticsReader, RefusesRowsNoRunWrites) {
  struct Case {
    std::string rows;
    std::uint64_t line;
    std::string words;
  };
  const std::vector<Case> divergence_cases{
      {"1,1,1,3,x,1,2\n", 2, "mean_distance"},
      {"1,1,1,0,1,1,1\n", 2, "distances given for no pair"},
      {"1,1,1,3,,,\n", 2, "the distances of 3 pairs are missing"},
      {"1,1,1,3,5,1,4\n", 2, "is not between min_distance 1 and max_distance 4"},
      {"1,1,1,3,2,3,1\n", 2, "max_distance"},
      {"5,2,1,3,2,1,3\n", 2, "species_b 1 before species_a 2"},
      {"5,1,2,3,2,1,3\n5,1,1,3,2,1,3\n", 3, "out of order"},
      {"10,1,1,3,2,1,3\n5,1,1,3,2,1,3\n", 3, "after generation 10"},
      {"1,1,2,3,2,1,3\n", 2, "species_b 2 did not live at generation 1"},
      {"15,1,3,3,2,1,3\n", 2, "species_b 3 did not live at generation 15"},
      {"21,1,1,3,2,1,3\n", 2, "generation"},
      {"5,1,4,3,2,1,3\n", 2, "species_b"},
      {"5,1,1,3,2,1\n", 2, "fields"},
  };
  for (const Case& c : divergence_cases) {
    SCOPED_TRACE(c.rows);
    expect_malformed([&] { divergence_of(c.rows); }, c.line, c.words);
  }
  const std::vector<Case> groups_cases{
      {"5,2,2,3,1,3,0\n", 2, "label 2 of species 2, which carries label 4"},
      {"5,1,1,3,4,1,0\n", 2, "groups"},
      {"5,1,1,3,1,4,0\n", 2, "largest_group"},
      {"5,1,1,3,2,1,3\n", 2, "shared_groups"},
      {"5,1,1,0,1,1,0\n", 2, "parasites"},
      {"5,2,4,3,1,3,0\n5,1,1,3,1,3,0\n", 3, "out of order"},
      {"15,3,3,3,1,3,0\n", 2, "species 3 did not live at generation 15"},
  };
  for (const Case& c : groups_cases) {
    SCOPED_TRACE(c.rows);
    expect_malformed([&] { groups_of(c.rows); }, c.line, c.words);
  }
  expect_malformed(
      [] { read_groups(text_source("generation,species\n", 5), "groups.csv", species, {}); }, 1,
      "header");
}

}  // namespace
}  // namespace parasim::report_tool
