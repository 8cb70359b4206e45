#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(RunRecord, CompletedRunRecordsItsSeedParametersAndOutcome) {
  const auto dir = fresh_directory("record");
  const RunResult run = run_parasim(dir, answers(10, 0.7, 0.01, 2, 0.2, 3, 1.0, 40, 1.0, 12),
                                    "--seed 4242 --record run.json");
  EXPECT_EQ(run.exit_status, 0);
  const std::string json = read_file(dir / "run.json");
  EXPECT_TRUE(has(json, "\"tick_count\": 4242,"));
  EXPECT_TRUE(has(json, "\"seed_source\": \"option\""));
  EXPECT_TRUE(has(json, "\"genome_size\": 10,"));
  EXPECT_TRUE(has(json, "\"max_differentiation\": 0.69999999999999996,"));
  EXPECT_TRUE(has(json, "\"mate_threshold\": 7,"));
  EXPECT_TRUE(has(json, "\"generations_run\": 12,"));
  EXPECT_TRUE(has(json, "\"died_out\": false,"));
  EXPECT_TRUE(has(json, "\"exit_status\": 0,"));
  EXPECT_TRUE(has(json, "\"error\": null"));
}

TEST(RunRecord, ExtinctAndFailedRunsAreRecordedToo) {
  const auto dir = fresh_directory("record-ends");
  RunResult run =
      run_parasim(dir, answers(10, 0.7, 0.01, 0, 0.2, 3, 1.0, 40, 1.0, 12), "--record run.json");
  EXPECT_EQ(run.exit_status, 0);
  std::string json = read_file(dir / "run.json");
  EXPECT_TRUE(has(json, "\"seed_source\": \"clock\""));
  EXPECT_TRUE(has(json, "\"generations_run\": 1,"));
  EXPECT_TRUE(has(json, "\"died_out\": true,"));
  EXPECT_TRUE(has(json, "\"final_population\": 0,"));

  run = run_parasim(dir, "10\n0.7\n", "--seed 1 --record run.json");
  EXPECT_EQ(run.exit_status, 2);
  json = read_file(dir / "run.json");
  EXPECT_TRUE(has(json, "\"parameters\": null"));
  EXPECT_TRUE(has(json, "\"exit_status\": 2,"));
  EXPECT_TRUE(has(json, "\"error\": \"End of file\""));
}

// The text of a member of the record, e.g. "12" or "null".
std::string member(const std::string& json, const std::string& key) {
  const std::string start = "\"" + key + "\": ";
  const std::size_t at = json.find(start);
  if (at == std::string::npos) {
    return "absent";
  }
  const std::size_t from = at + start.size();
  return json.substr(from, json.find_first_of(",\n", from) - from);
}

// The parasites of one generation in a history: its rows of abundance.csv added up.
std::int64_t history_count(const std::filesystem::path& abundance, int generation) {
  std::istringstream rows(read_file(abundance));
  std::string row;
  std::getline(rows, row);  // the header
  std::int64_t count = 0;
  while (std::getline(rows, row)) {
    std::vector<std::string> fields;
    std::istringstream cells(row);
    for (std::string cell; std::getline(cells, cell, ',');)
      fields.push_back(cell);
    if (std::stoi(fields.at(0)) == generation)
      count += std::stoll(fields.at(5));
  }
  return count;
}

// last_generation_population is the start of the last generation, as the history counts it;
// final_population the survivors after it, which a run one generation longer starts its last
// generation with.
TEST(RunRecord, NamesTheLastGenerationsPopulationAndItsSurvivors) {
  const auto dir = fresh_directory("record-populations");
  const std::string options = "--seed 99 --history h --record run.json";
  ASSERT_EQ(
      run_parasim(dir, answers(20, 0.2, 0.01, 2, 0.1, 3, 1.0, 40, 1.0, 12), options).exit_status,
      0);
  const std::string twelve = read_file(dir / "run.json");
  ASSERT_EQ(
      run_parasim(dir, answers(20, 0.2, 0.01, 2, 0.1, 3, 1.0, 40, 1.0, 13), options).exit_status,
      0);
  const std::string thirteen = read_file(dir / "run.json");
  EXPECT_EQ(member(twelve, "last_generation_population"),
            std::to_string(history_count(dir / "h" / "abundance.csv", 12)));
  EXPECT_EQ(member(thirteen, "last_generation_population"),
            std::to_string(history_count(dir / "h" / "abundance.csv", 13)));
  EXPECT_EQ(member(thirteen, "last_generation_population"), member(twelve, "final_population"));
  EXPECT_NE(member(twelve, "last_generation_population"), member(twelve, "final_population"));

  // Died out in generation 1: its three founders, and no survivor.
  ASSERT_EQ(
      run_parasim(dir, answers(20, 0.2, 0.01, 0, 0.1, 3, 1.0, 40, 1.0, 12), options).exit_status,
      0);
  std::string json = read_file(dir / "run.json");
  EXPECT_EQ(member(json, "generations_run"), "1");
  EXPECT_EQ(member(json, "died_out"), "true");
  EXPECT_EQ(member(json, "last_generation_population"), "3");
  EXPECT_EQ(member(json, "final_population"), "0");

  // No generation run: no last generation, and the founders are the population.
  ASSERT_EQ(
      run_parasim(dir, answers(20, 0.2, 0.01, 2, 0.1, 3, 1.0, 40, 1.0, 0), options).exit_status, 0);
  json = read_file(dir / "run.json");
  EXPECT_EQ(member(json, "generations_run"), "0");
  EXPECT_EQ(member(json, "last_generation_population"), "null");
  EXPECT_EQ(member(json, "final_population"), "3");
}

}  // namespace
}  // namespace parasim::testing

namespace parasim::testing {
namespace {

TEST(Progress, LeavesStandardOutputAndTheResultsAlone) {
  const auto dir = fresh_directory("progress");
  const std::string input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 60);
  const RunResult plain = run_parasim(dir, input, "--seed 8");
  const std::string results = read_file(dir / "Output.dat");
  const RunResult shown = run_parasim(dir, input, "--seed 8 --progress");
  EXPECT_EQ(shown.exit_status, 0);
  EXPECT_EQ(shown.out, plain.out);
  EXPECT_EQ(read_file(dir / "Output.dat"), results);
  // The line is drawn at least once and cleared at the end.
  EXPECT_NE(shown.err.find("generation 1/60"), std::string::npos);
  EXPECT_EQ(shown.err.substr(shown.err.size() - 4), "\r\x1b[K");
}

}  // namespace
}  // namespace parasim::testing
