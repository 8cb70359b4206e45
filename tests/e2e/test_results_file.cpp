#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

const std::string& header = results_file_header;

struct Record {
  int generation;
  std::string phenotype;
  std::string host;
  std::string host_phenotype;
  int species;
};

// Splits Output.dat after its header into records, checking the layout of each.
std::vector<Record> records_of(const std::string& file) {
  EXPECT_EQ(file.substr(0, header.size()), header);
  std::vector<Record> records;
  for (std::size_t at = header.size(); at < file.size();) {
    const std::size_t end = file.find("\r\n", at);
    EXPECT_NE(end, std::string::npos);
    if (end == std::string::npos) {
      break;
    }
    const std::string line = file.substr(at, end - at);
    EXPECT_EQ(line.size(), 66u) << line;
    EXPECT_NE(line.back(), ' ');
    const auto trimmed = [&](std::size_t from, std::size_t length) {
      std::string field = line.substr(from, length);
      return field.substr(field.find_first_not_of(' '));
    };
    records.push_back({std::stoi(line.substr(1, 8)), trimmed(10, 15), trimmed(26, 15),
                       trimmed(42, 15), std::stoi(line.substr(58, 8))});
    at = end + 2;
  }
  return records;
}

std::set<int> generations_of(const std::vector<Record>& records) {
  std::set<int> generations;
  for (const Record& r : records) {
    generations.insert(r.generation);
  }
  return generations;
}

TEST(ResultsFile, NoGenerationLeavesTheHeaderAlone) {
  const auto dir = fresh_directory("header");
  write_file(dir / "Output.dat", std::string(10000, 'x'));  // a longer old file is replaced
  for (const int generations : {0, -5}) {
    const RunResult run =
        run_parasim(dir, answers(100, 0.1, 0.005, 2, 0.1, 5, 1.0, 100, 1.0, generations),
                    "--seed 11");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(read_file(dir / "Output.dat"), header);
  }
}

TEST(ResultsFile, FirstGenerationListsTheThreeFounders) {
  const auto dir = fresh_directory("founders");
  run_parasim(dir, answers(100, 0.1, 0.005, 2, 0.1, 5, 1.0, 100, 1.0, 1), "--seed 11");
  const std::string founder =
      "        1          5.0000          1.0000          5.0000        1\r\n";
  EXPECT_EQ(read_file(dir / "Output.dat"), header + founder + founder + founder);
}

TEST(ResultsFile, ReportsGenerationOneAndEveryTenth) {
  const auto dir = fresh_directory("reports");
  for (const auto& [generations, reported] : std::vector<std::pair<int, std::set<int>>>{
           {10, {1, 10}}, {25, {1, 10, 20}}, {30, {1, 10, 20, 30}}}) {
    const RunResult run = run_parasim(
        dir, answers(30, 0.1, 0.005, 2, 0.2, 3, 1.0, 40, 1.0, generations), "--seed 5");
    EXPECT_EQ(run.exit_status, 0);
    const std::vector<Record> records = records_of(read_file(dir / "Output.dat"));
    EXPECT_EQ(generations_of(records), reported);
    // Within a generation the parasites are listed host by host.
    for (std::size_t i = 1; i < records.size(); ++i) {
      if (records[i].generation == records[i - 1].generation) {
        EXPECT_LE(std::stod(records[i - 1].host), std::stod(records[i].host));
      } else {
        EXPECT_LT(records[i - 1].generation, records[i].generation);
      }
    }
  }
}

TEST(ResultsFile, PopulationThatDiesOutKeepsItsEarlierReports) {
  const auto dir = fresh_directory("extinct");
  // No offspring at all: empty after generation 1. A survival deviation of 0 kills
  // every child (the quotient is undefined at distance 0).
  for (const std::string& input : {answers(20, 0.1, 0.005, 0, 0.2, 3, 1.0, 40, 1.0, 50),
                                   answers(20, 0.1, 0.005, 2, 0.2, 3, 1.0, 40, 0.0, 50)}) {
    const RunResult run = run_parasim(dir, input, "--seed 5");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("This simulation ran successfully"), std::string::npos);
    const std::vector<Record> records = records_of(read_file(dir / "Output.dat"));
    EXPECT_EQ(records.size(), 3u);
    EXPECT_EQ(generations_of(records), std::set<int>{1});
  }
}

TEST(ResultsFile, HostsBelowZeroShowTheirSign) {
  const auto dir = fresh_directory("negative");
  // Founders at phenotype 0.5 with one spacing between hosts: host 3 sits at -0.5.
  const RunResult run =
      run_parasim(dir, answers(10, 0.3, 0.01, 3, 0.5, 3, 1.0, 60, 1.0, 10), "--seed 3");
  EXPECT_EQ(run.exit_status, 0);
  int on_host_three = 0;
  for (const Record& r : records_of(read_file(dir / "Output.dat"))) {
    if (r.host == "3.0000") {
      EXPECT_EQ(r.host_phenotype, "-0.5000");
      ++on_host_three;
    }
  }
  EXPECT_GT(on_host_three, 0);
}

TEST(ResultsFile, NegativeSpacingPutsHostTwoBelowHostOne) {
  // host_distance x survival_sd < 0 flips the host line; survival is the same for survival_sd
  // and -survival_sd, so both ways of flipping it make one run.
  const auto dir = fresh_directory("flipped");
  std::string files[2];
  for (int i = 0; i < 2; ++i) {
    const double distance = i == 0 ? -1.0 : 1.0;
    const double survival_sd = i == 0 ? 0.5 : -0.5;
    const RunResult run = run_parasim(
        dir, answers(20, 0.2, 0.01, 2, 0.2, 3, distance, 40, survival_sd, 20), "--seed 5");
    ASSERT_EQ(run.exit_status, 0);
    files[i] = read_file(dir / "Output.dat");
    std::set<std::string> host_two;
    for (const Record& r : records_of(files[i])) {
      if (r.host == "2.0000") {
        host_two.insert(r.host_phenotype);
      }
    }
    EXPECT_EQ(host_two, std::set<std::string>{"0.5000"});
  }
  EXPECT_EQ(files[0], files[1]);
}

TEST(ResultsFile, SameSeedSameFileDifferentSeedDifferentFile) {
  const auto dir = fresh_directory("repeat");
  const std::string input = answers(40, 0.1, 0.01, 2, 0.2, 4, 1.0, 50, 1.0, 30);
  run_parasim(dir, input, "--seed 2024");
  const std::string first = read_file(dir / "Output.dat");
  run_parasim(dir, input, "--seed 2024");
  EXPECT_EQ(read_file(dir / "Output.dat"), first);
  run_parasim(dir, input, "--seed 2025");
  EXPECT_NE(read_file(dir / "Output.dat"), first);
}

TEST(ResultsFile, FileThatCannotBeWrittenEndsTheRunWithTheSystemsMessage) {
  const auto dir = fresh_directory("unwritable");
  const std::string input = answers(20, 0.1, 0.005, 2, 0.2, 3, 1.0, 40, 1.0, 20);
  std::filesystem::create_directory(dir / "Output.dat");
  RunResult run = run_parasim(dir, input, "--seed 5");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out.find("successfully"), std::string::npos);
  EXPECT_NE(run.out.find("The model is running ..."), std::string::npos);
  EXPECT_NE(run.err.find("Is a directory\n"), std::string::npos) << run.err;
  std::filesystem::remove(dir / "Output.dat");

  std::filesystem::create_symlink("/dev/full", dir / "Output.dat");
  run = run_parasim(dir, input, "--seed 5");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.out.find("successfully"), std::string::npos);
  EXPECT_NE(run.err.find("No space left on device\n"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace parasim::testing
