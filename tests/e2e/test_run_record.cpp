#include <gtest/gtest.h>

#include <string>

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
  RunResult run = run_parasim(dir, answers(10, 0.7, 0.01, 0, 0.2, 3, 1.0, 40, 1.0, 12),
                              "--record run.json");
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
