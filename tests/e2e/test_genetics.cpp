// The history's genetics tables (--genetics-every) as the console program writes them: the run
// and its other files untouched, and every row consistent with the parasites of abundance.csv.
// Their values against plain all-pairs and components routines are the unit tests'
// (tests/species).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/csv_rows.hpp"
#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

// Loose mate recognition and dispersal: species split and spread over the hosts.
const std::string input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 120);

struct Present {
  int label = 0;
  long long parasites = 0;
};
// generation -> species -> label and parasites, from abundance.csv
using Census = std::map<int, std::map<int, Present>>;

Census census(const std::string& abundance) {
  Census out;
  for (const auto& row : csv_rows(abundance)) {
    Present& present = out[std::stoi(row[0])][std::stoi(row[1])];
    present.label = std::stoi(row[2]);
    present.parasites += std::stoll(row[5]);
  }
  return out;
}

TEST(Genetics, LeaveTheRunAndTheOtherFilesAlone) {
  const auto dir = fresh_directory("genetics-alone");
  const RunResult plain = run_parasim(dir, input, "--seed 31 --history plain");
  ASSERT_EQ(plain.exit_status, 0) << plain.err;
  const std::string results = read_file(dir / "Output.dat");
  const RunResult with = run_parasim(dir, input, "--seed 31 --history h --genetics-every 7");
  ASSERT_EQ(with.exit_status, 0) << with.err;
  EXPECT_EQ(with.out, plain.out);
  EXPECT_EQ(read_file(dir / "Output.dat"), results);
  for (const char* name : {"species.csv", "abundance.csv", "run.json"}) {
    EXPECT_EQ(read_file(dir / "h" / name), read_file(dir / "plain" / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "plain" / "divergence.csv"));
  EXPECT_FALSE(std::filesystem::exists(dir / "plain" / "groups.csv"));
}

// At generation 1 and every 7th: a groups row for every species present, with its label and
// parasites, and a divergence row for every pair of them, with the pairs their numbers make.
TEST(Genetics, RowsCoverTheSpeciesPresentAtEverySampledGeneration) {
  const auto dir = fresh_directory("genetics-rows");
  ASSERT_EQ(run_parasim(dir, input, "--seed 31 --history h --genetics-every 7").exit_status, 0);
  const Census present = census(read_file(dir / "h" / "abundance.csv"));
  const std::string divergence = read_file(dir / "h" / "divergence.csv");
  const std::string groups = read_file(dir / "h" / "groups.csv");
  EXPECT_EQ(divergence.substr(0, divergence.find('\n')),
            "generation,species_a,species_b,pairs,mean_distance,min_distance,max_distance");
  EXPECT_EQ(groups.substr(0, groups.find('\n')),
            "generation,species,label,parasites,groups,largest_group,shared_groups");

  std::vector<std::vector<std::string>> expected_groups;
  std::vector<std::vector<std::string>> expected_pairs;
  for (int generation = 1; generation <= 120; generation += generation == 1 ? 6 : 7) {
    const auto& species = present.at(generation);
    for (auto a = species.begin(); a != species.end(); ++a) {
      expected_groups.push_back({std::to_string(generation), std::to_string(a->first),
                                 std::to_string(a->second.label),
                                 std::to_string(a->second.parasites)});
      for (auto b = a; b != species.end(); ++b) {
        const long long n = a->second.parasites;
        const long long pairs = a == b ? n * (n - 1) / 2 : n * b->second.parasites;
        expected_pairs.push_back({std::to_string(generation), std::to_string(a->first),
                                  std::to_string(b->first), std::to_string(pairs)});
      }
    }
  }
  std::vector<std::vector<std::string>> found_groups;
  bool split_somewhere = false;
  for (const auto& row : csv_rows(groups)) {
    ASSERT_EQ(row.size(), 7u);
    found_groups.emplace_back(row.begin(), row.begin() + 4);
    const long long parasites = std::stoll(row[3]);
    const long long count = std::stoll(row[4]);
    const long long largest = std::stoll(row[5]);
    EXPECT_TRUE(count >= 1 && largest >= 1 && largest <= parasites &&
                largest * count >= parasites && std::stoll(row[6]) <= count)
        << row[0] << ": species " << row[1];
    split_somewhere = split_somewhere || count > 1;
  }
  EXPECT_EQ(found_groups, expected_groups);
  EXPECT_TRUE(split_somewhere) << "some species should span several groups";

  std::vector<std::vector<std::string>> found_pairs;
  for (const auto& row : csv_rows(divergence)) {
    ASSERT_EQ(row.size(), 7u);
    found_pairs.emplace_back(row.begin(), row.begin() + 4);
    if (row[3] == "0") {
      EXPECT_EQ(row[4] + row[5] + row[6], "") << "no pair, no distance";
      continue;
    }
    const double mean = std::stod(row[4]);
    EXPECT_TRUE(std::stod(row[5]) <= mean && mean <= std::stod(row[6]))
        << row[0] << ": species " << row[1] << " and " << row[2];
  }
  EXPECT_EQ(found_pairs, expected_pairs);
}

TEST(Genetics, TheOptionIsRefusedWithoutAHistoryOrACadence) {
  const auto dir = fresh_directory("genetics-refused");
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"--genetics-every 5", "--genetics-every goes with --history DIR"},
      {"--history h --genetics-every 0", "--genetics-every takes a number of generations"},
      {"--history h --genetics-every ten", "--genetics-every takes a number of generations"},
      {"--history h --genetics-every", "--genetics-every needs a value"},
  };
  for (const auto& c : cases) {
    const RunResult run = run_parasim(dir, input, c.arguments);
    EXPECT_EQ(run.exit_status, 2) << c.arguments;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "Output.dat")) << c.arguments;
    EXPECT_FALSE(std::filesystem::exists(dir / "h")) << c.arguments;
  }
}

}  // namespace
}  // namespace parasim::testing
