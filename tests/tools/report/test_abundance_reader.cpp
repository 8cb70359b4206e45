#include "abundance_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history_fixture.hpp"
#include "history_statistics.hpp"

namespace parasim::report_tool {
namespace {

using testing::expect_malformed;

class AbundanceReader : public ::testing::Test {
 protected:
  AbundanceReader()
      : species_(testing::species_from_text(
            testing::file_text(testing::five_species_history / "species.csv"))) {
    const std::string text = testing::file_text(testing::five_species_history / "abundance.csv");
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = text.find('\n', start);
      lines_.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }

  // The fixture's lines (lines_[0] is the header, lines_[k] line k + 1), joined.
  static std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
      text += line + "\n";
    }
    return text;
  }

  void read(const std::string& text, const std::vector<AbundanceObserver*>& observers = {}) {
    read_abundance(testing::text_source(text, 13), "abundance.csv", species_, observers);
  }

  // The line number of the first row of a generation.
  std::uint64_t line_of(const std::string& row_start) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].rfind(row_start, 0) == 0) {
        return i + 1;
      }
    }
    return 0;
  }

  SpeciesTable species_;
  std::vector<std::string> lines_;
};

class GenerationCollector : public AbundanceObserver {
 public:
  void generation_done(const AbundanceGeneration& generation) override {
    generations.push_back(generation);
  }
  void abundance_done() override { done = true; }
  std::vector<AbundanceGeneration> generations;
  bool done = false;
};

TEST_F(AbundanceReader, HandsOnEveryGenerationAndSumsThemUp) {
  GenerationCollector collected;
  AbundanceTally tally(species_.size());
  read(joined(lines_), {&collected, &tally});
  ASSERT_TRUE(collected.done);
  ASSERT_EQ(collected.generations.size(), 12u);
  const AbundanceGeneration& fifth = collected.generations[4];
  EXPECT_EQ(fifth.generation, 5);
  ASSERT_EQ(fifth.rows.size(), 4u);
  EXPECT_EQ(fifth.rows[1].species, 1);
  EXPECT_EQ(fifth.rows[1].host, 3);
  EXPECT_EQ(fifth.rows[1].host_phenotype, 4.5);
  EXPECT_EQ(fifth.rows[1].count, 2);
  EXPECT_EQ(fifth.rows[1].phenotype_sd, 0.1);

  EXPECT_EQ(tally.last_population(), 41);
  EXPECT_EQ(tally.last_hosts_occupied(), 3);
  const SpeciesAbundanceTotals& second = tally.totals()[1];
  EXPECT_EQ(second.peak_count, 13);
  EXPECT_EQ(second.final_count, 3);
  EXPECT_EQ(second.final_hosts, 2);
  EXPECT_EQ(second.parasite_generations, 11 + 12 + 12 + 12 + 13 + 2 + 2 + 2 + 2 + 3);
  const SpeciesAbundanceTotals& gone = tally.totals()[2];
  EXPECT_EQ(gone.peak_count, 11);
  EXPECT_EQ(gone.final_count, 1) << "the count of its own last generation";
}

struct Damage {
  const char* what;
  const char* row_start;    // the first line starting with this is changed
  const char* replacement;  // nullptr: the line is removed
  const char* fault_at;     // the line reported is the first starting with this ("" for the
                            // damaged line itself)
  const char* words;
};

TEST_F(AbundanceReader, RefusesRowsThatDisagreeWithTheSpeciesOrTheFormat) {
  const std::vector<Damage> cases{
      {"wrong label", "4,2,", "4,2,3,2,5.5,12,5.5,0.1", "",
       "species 2 carries label 2 in species.csv, not 3"},
      {"unknown species", "4,2,", "4,6,2,2,5.5,12,5.5,0.1", "", "species 6 is out of range"},
      {"a generation missing", "2,1,", nullptr, "3,1,", "generation 3 where generation 2 was due"},
      {"before its birth", "2,1,", "2,2,2,2,5.5,6,5.5,0", "",
       "species 2 has carriers at generation 2, but species.csv gives it generations 3 to 12"},
      {"after its end", "8,4,", "8,3,3,2,5.5,11,5.5,0.1", "",
       "species 3 has carriers at generation 8, but species.csv gives it generations 5 to 7"},
      {"a living species left out", "4,2,", nullptr, "5,1,",
       "generation 4 has no row for species 2, which lived then"},
      {"hosts out of order", "5,1,1,1,", "5,1,1,4,4,10,5,0.1", "5,1,1,3,",
       "species 1 on host 3 comes after species 1 on host 4"},
      {"a host that moved", "8,4,", "8,4,3,2,6,11,5.5,0.1", "",
       "host 2 has phenotype 6 here but 5.5 on line 5"},
      {"generations going back", "6,1,", "4,1,1,1,5,12,5,0.1", "",
       "generation 4 comes after generation 5"},
      {"a negative spread", "4,2,", "4,2,2,2,5.5,12,5.5,-0.1", "", "phenotype_sd -0.1 is negative"},
      {"no carriers", "4,2,", "4,2,2,2,5.5,0,5.5,0.1", "", "count 0 is out of range"},
      {"not a number", "4,2,", "4,2,2,2,5.5,12,nan,0.1", "",
       "phenotype_mean \"nan\" is not a finite number"},
      {"a field short", "4,2,", "4,2,2,2,5.5,12,5.5", "", "7 fields, expected 8"},
      {"a size at birth that disagrees", "3,2,", "3,2,2,2,5.5,12,5.5,0.1", "",
       "species 2 has 12 parasites at generation 3, its birth, but species.csv gives it "
       "size_at_birth 11"},
      {"a species born on another host", "5,3,", "5,3,3,4,4.5,11,4.5,0.1", "",
       "species 3 has most of its parasites on host 4 at generation 5, but species.csv gives "
       "species 3 birth_host 3"},
      {"a parent on another host", "9,1,", "9,1,1,2,5.5,12,5,0.1", "9,5,",
       "species 1 has most of its parasites on host 2 at generation 9, but species.csv gives "
       "species 5 parent_host 1"},
  };
  for (const Damage& damage : cases) {
    SCOPED_TRACE(damage.what);
    std::vector<std::string> lines = lines_;
    const std::uint64_t damaged = line_of(damage.row_start);
    ASSERT_GT(damaged, 0u);
    if (damage.replacement != nullptr) {
      lines[damaged - 1] = damage.replacement;
    } else {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(damaged - 1));
    }
    std::uint64_t reported = damaged;
    if (*damage.fault_at != '\0') {
      reported = line_of(damage.fault_at) - (damage.replacement == nullptr ? 1 : 0);
    }
    const std::string text = joined(lines);
    expect_malformed([&] { read(text); }, reported, damage.words);
  }
}

TEST_F(AbundanceReader, TheTableMustCoverTheRunToItsLastGeneration) {
  std::vector<std::string> lines = lines_;
  while (lines.back().rfind("12,", 0) == 0) {
    lines.pop_back();
  }
  expect_malformed([&] { read(joined(lines)); }, lines.size(),
                   "the table ends at generation 11, but species.csv runs to generation 12");
  lines = lines_;
  lines.push_back("13,1,1,1,5,1,5,0");
  expect_malformed([&] { read(joined(lines)); }, lines.size(),
                   "generation 13 is after the last generation in species.csv (12)");
  expect_malformed([&] { read(lines_.front() + "\n"); }, 1,
                   "the table has no rows, but species.csv lists 5 species");
}

// A line longer than the buffer is refused at its own line. Cut at the buffer's end, the first
// of these would read as two good rows (the rows of species 1 and 2 at generation 3, the first
// padded to the buffer's 256 bytes), the second as a row of 7 fields (a field of 10 MB).
TEST_F(AbundanceReader, ALineLongerThanTheBufferIsRefusedWhole) {
  struct Overlong {
    std::size_t buffer_size;
    std::string line;
  };
  std::string padded = "3,1,1,1,5,8,5,0.1";
  padded.resize(256, '0');
  const std::vector<Overlong> cases{
      {256, padded + "3,2,2,2,5.5,11,5.5,0.1"},
      {default_read_buffer_size, "4,2,2,2,5.5,12," + std::string(10'000'000, '5') + ",0.1"},
  };
  for (const Overlong& overlong : cases) {
    std::vector<std::string> lines = lines_;
    const std::uint64_t at = line_of(overlong.line.substr(0, 4));
    lines[at - 1] = overlong.line;
    if (overlong.buffer_size == 256) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
    }
    const std::string text = joined(lines);
    expect_malformed(
        [&] {
          read_abundance(testing::text_source(text), "abundance.csv", species_, {},
                         overlong.buffer_size);
        },
        at, "the line does not end within " + std::to_string(overlong.buffer_size) + " bytes");
  }
}

// Counts near the largest whole number would overflow the sums of every table and statistic
// made from them; the table is refused at the row whose count takes the total past it.
TEST(AbundanceCounts, ATableWhoseCountsAddUpPastTheLargestNumberIsRefused) {
  const SpeciesTable species = testing::species_from_text(
      "species,label,parent,born,size_at_birth,last_seen,extant\n"
      "1,1,,1,3,3,true\n"
      "2,2,1,2,5,3,true\n");
  const std::string half = "4611686018427387904";  // 2^62
  const std::string head =
      "generation,species,label,host,host_phenotype,count,phenotype_mean,phenotype_sd\n"
      "1,1,1,1,5,3,5,0\n";
  struct Case {
    const char* what;
    std::string rows;  // generations 2 and 3
    std::uint64_t line;
  };
  const std::vector<Case> cases{
      {"one species on two hosts",
       "2,1,1,1,5,1,5,0\n2,2,2,1,5,5,5,0\n3,1,1,1,5," + half + ",5,0\n3,1,1,2,6," + half +
           ",5,0\n3,2,2,1,5,1,5,0\n",
       6},
      {"two species on one host",
       "2,1,1,1,5,1,5,0\n2,2,2,1,5,5,5,0\n3,1,1,1,5," + half + ",5,0\n3,2,2,1,5," + half + ",5,0\n",
       6},
      {"one species over generations",
       "2,1,1,1,5," + half + ",5,0\n2,2,2,1,5,5,5,0\n3,1,1,1,5," + half + ",5,0\n3,2,2,1,5,1,5,0\n",
       5},
      {"one count as large as can be",
       "2,1,1,1,5,1,5,0\n2,2,2,1,5,5,5,0\n3,1,1,1,5,9223372036854775807,5,0\n", 5},
  };
  for (const Case& tested : cases) {
    SCOPED_TRACE(tested.what);
    const std::string text = head + tested.rows;
    AbundanceTally tally(species.size());
    expect_malformed(
        [&] { read_abundance(testing::text_source(text), "abundance.csv", species, {&tally}); },
        tested.line, "the counts of the table add up past 9223372036854775807 here");
  }
}

}  // namespace
}  // namespace parasim::report_tool
