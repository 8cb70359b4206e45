#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) {
      fields.push_back(cell);
    }
    if (!line.empty() && line.back() == ',') {
      fields.emplace_back();
    }
    rows.push_back(fields);
  }
  return rows;
}

using Tally = std::map<std::tuple<int, int, int>, int>;  // (generation, label, host) -> count

// The parasites of every reported generation by label and host, from the results file.
Tally reported_counts(const std::string& results) {
  Tally counts;
  std::istringstream lines(results);
  std::string line;
  for (int header = 0; header < 6; ++header) {
    std::getline(lines, line);
  }
  while (std::getline(lines, line)) {
    const int generation = std::stoi(line.substr(1, 8));
    const int host = static_cast<int>(std::stod(line.substr(26, 15)));
    const int label = std::stoi(line.substr(58, 8));
    ++counts[{generation, label, host}];
  }
  return counts;
}

TEST(History, LeavesTheRunAloneAndAgreesWithEveryReport) {
  const auto dir = fresh_directory("history");
  // Loose mate recognition and dispersal: species split and spread over the hosts.
  const std::string input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 120);
  const RunResult plain = run_parasim(dir, input, "--seed 31");
  const std::string results = read_file(dir / "Output.dat");
  const RunResult with_history = run_parasim(dir, input, "--seed 31 --history hist");
  ASSERT_EQ(with_history.exit_status, 0) << with_history.err;
  EXPECT_EQ(with_history.out, plain.out);
  EXPECT_EQ(read_file(dir / "Output.dat"), results);

  const auto species = csv_rows(read_file(dir / "hist/species.csv"));
  const auto abundance = csv_rows(read_file(dir / "hist/abundance.csv"));
  ASSERT_GT(species.size(), 2u) << "the run should split";
  EXPECT_EQ(species[0], (std::vector<std::string>{"1", "1", "", "1", "3", "120", "true"}));

  Tally history;
  int last_generation = 0;
  for (const auto& row : abundance) {
    ASSERT_EQ(row.size(), 8u);
    const int generation = std::stoi(row[0]);
    EXPECT_GE(generation, last_generation) << "rows in generation order";
    last_generation = generation;
    if (generation == 1 || generation % 10 == 0) {
      history[{generation, std::stoi(row[2]), std::stoi(row[3])}] += std::stoi(row[5]);
    }
  }
  EXPECT_EQ(last_generation, 120) << "every generation is covered";
  EXPECT_EQ(history, reported_counts(results));
}

TEST(History, AFolderThatCannotBeMadeIsRefusedBeforeTheResultsFile) {
  const auto dir = fresh_directory("history-refused");
  write_file(dir / "Output.dat", "earlier results\n");
  write_file(dir / "taken", "a file where the folder should go");
  const std::string input = answers(20, 0.1, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 5);
  for (const std::string folder : {"taken", "missing/hist"}) {
    const RunResult run = run_parasim(dir, input, "--seed 1 --history " + folder);
    EXPECT_EQ(run.exit_status, 2) << folder;
    EXPECT_NE(run.err.find(folder), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), "earlier results\n") << folder;
  }
}

}  // namespace
}  // namespace parasim::testing
