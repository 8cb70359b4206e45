#include "species_table.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history_fixture.hpp"
#include "report/history_layout.hpp"

namespace parasim::report_tool {
namespace {

using testing::expect_malformed;
using testing::species_from_text;

// Most cases are written in the layout before the host columns, which histories of earlier
// runs hold and which is still read.
const std::string header = std::string(report::history_species_header_without_hosts) + "\n";
const std::string header_with_hosts = std::string(report::history_species_header) + "\n";

TEST(SpeciesTable, ReadsTheFixtureWithDaughtersAndLastGeneration) {
  const SpeciesTable table =
      species_from_text(testing::file_text(testing::five_species_history / "species.csv"));
  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table.last_generation(), 12);
  EXPECT_EQ(table.daughters(1), (std::vector<std::int32_t>{2, 3, 5}));
  EXPECT_EQ(table.daughters(2), (std::vector<std::int32_t>{4}));
  EXPECT_TRUE(table.daughters(5).empty());
  EXPECT_EQ(std::make_pair(table.at(3).birth_host, table.at(3).parent_host), std::make_pair(3, 1));
  const SpeciesEntry& reused = table.at(4);
  EXPECT_EQ(reused.label, 3);
  EXPECT_EQ(reused.parent, 2);
  EXPECT_EQ(reused.born, 8);
  EXPECT_TRUE(reused.extant);
  EXPECT_FALSE(table.at(3).extant);
}

// Species without hosts at birth: all of them in the older layout, and in the current one
// those of a run resumed from a checkpoint that did not keep them.
TEST(SpeciesTable, ReadsHostsLeftEmptyAndTheLayoutWithoutThem) {
  for (const std::string& text :
       {header + "1,1,,1,3,9,true\n2,2,1,4,11,9,true\n",
        header_with_hosts + "1,1,,1,3,9,true,,,\n2,2,1,4,11,9,true,,,\n"}) {
    const SpeciesTable table = species_from_text(text);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(2).parent, 1);
    EXPECT_EQ(std::make_pair(table.at(2).birth_host, table.at(2).parent_host),
              std::make_pair(0, 0));
  }
}

TEST(SpeciesTable, AcceptsAnEmptyTableAndCarriageReturns) {
  EXPECT_TRUE(species_from_text(header).empty());
  const SpeciesTable table = species_from_text(
      "species,label,parent,born,size_at_birth,last_seen,extant\r\n1,1,,1,3,4,true\r\n");
  EXPECT_EQ(table.last_generation(), 4);
}

struct BadTable {
  const char* what;
  std::string rows;  // after the header row
  std::uint64_t line;
  const char* words;
};

TEST(SpeciesTable, RefusesWhatARunCannotWrite) {
  const std::vector<BadTable> cases{
      {"a field too few", "1,1,,1,3,9\n", 2, "6 fields, expected 7"},
      {"numbers out of order", "2,1,,1,3,9,true\n", 2, "this row must be species 1"},
      {"founders with a parent", "1,1,1,1,3,9,true\n", 2, "has no parent"},
      {"a daughter without", "1,1,,1,3,9,true\n2,2,,4,11,9,true\n", 3, "species 2 has no parent"},
      {"a parent not earlier", "1,1,,1,3,9,true\n2,2,2,4,11,9,true\n", 3,
       "parent 2 is not an earlier species"},
      {"born after the parent ended", "1,1,,1,3,9,true\n2,2,1,4,11,5,false\n3,3,2,6,11,9,true\n", 4,
       "when its parent species 2 did not live (generation 4 to 5)"},
      {"out of order of origin", "1,1,,1,3,9,true\n2,2,1,5,11,9,true\n3,3,1,4,11,9,true\n", 4,
       "before species 2 (generation 5)"},
      {"last seen before born", "1,1,,1,3,9,true\n2,2,1,5,11,4,false\n", 3,
       "last seen at generation 4, before it was born"},
      {"a label held twice", "1,1,,1,3,9,true\n2,2,1,4,11,9,true\n3,2,1,6,11,9,true\n", 4,
       "label 2 is given at generation 6 while species 2 still carries it"},
      {"extant but gone", "1,1,,1,3,9,true\n2,2,1,4,11,8,true\n", 3,
       "species 2 is marked extant but was last seen at generation 8, before the last "
       "generation 9"},
      {"gone but seen at the end", "1,1,,1,3,9,false\n", 2,
       "species 1 is marked not extant but was seen at the last generation 9"},
      {"a word for a number", "1,1,,x,3,9,true\n", 2, "born \"x\" is not a whole number"},
      {"label 0", "1,0,,1,3,9,true\n", 2, "label 0 is out of range"},
      {"a sign", "1,1,,+1,3,9,true\n", 2, "born \"+1\" is not a whole number"},
      {"too large", "1,1,,1,3,2147483648,true\n", 2, "last_seen 2147483648 is out of range"},
      {"extant yes", "1,1,,1,3,9,yes\n", 2, "extant must be true or false, not \"yes\""},
      {"cut off", "1,1,,1,3,9,true\n2,2,1,4,11,9,tr", 3, "the file ends inside this row"},
      {"an empty line", "1,1,,1,3,9,true\n\n", 3, "1 field, expected 7"},
  };
  for (const BadTable& bad : cases) {
    SCOPED_TRACE(bad.what);
    const std::string text = header + bad.rows;
    expect_malformed([&] { species_from_text(text); }, bad.line, bad.words);
  }
  expect_malformed([] { species_from_text(""); }, 1, "the file is empty");
  expect_malformed([] { species_from_text("species,label,parent\n"); }, 1,
                   "the header row must be species,label,parent,born,size_at_birth,last_seen,"
                   "extant,birth_host,parent_host,host_shift");
}

TEST(SpeciesTable, RefusesHostColumnsThatDoNotAgree) {
  const std::string founders = "1,1,,1,3,9,true,1,,\n";
  const std::vector<BadTable> cases{
      {"a founders' parent host", "1,1,,1,3,9,true,1,1,false\n", 2, "no parent_host"},
      {"a shift without both hosts", founders + "2,2,1,4,11,9,true,2,,true\n", 3,
       "host_shift must be empty"},
      {"a shift that is not one", founders + "2,2,1,4,11,9,true,2,2,true\n", 3,
       "host_shift true with birth_host 2 and parent_host 2"},
      {"no shift where there is one", founders + "2,2,1,4,11,9,true,2,3,false\n", 3,
       "host_shift false with birth_host 2 and parent_host 3"},
      {"a shift left empty", founders + "2,2,1,4,11,9,true,2,3,\n", 3,
       "host_shift must be true or false"},
      {"host 0", founders + "2,2,1,4,11,9,true,0,1,true\n", 3, "birth_host 0 is out of range"},
      {"the old width", founders + "2,2,1,4,11,9,true\n", 3, "7 fields, expected 10"},
  };
  for (const BadTable& bad : cases) {
    SCOPED_TRACE(bad.what);
    expect_malformed([&] { species_from_text(header_with_hosts + bad.rows); }, bad.line, bad.words);
  }
}

}  // namespace
}  // namespace parasim::report_tool
