#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "hostile/hostile_targets.hpp"
#include "sanitizer_build.hpp"

namespace parasim::testing {
namespace {

namespace fs = std::filesystem;

const std::string default_parameters =
    "genome_size = 100\n"
    "max_differentiation = 0.1\n"
    "mutation_rate = 0.005\n"
    "max_offspring = 2\n"
    "dispersal_prob = 0.05\n"
    "host_count = 5\n"
    "host_distance = 1\n"
    "carrying_capacity = 200\n"
    "survival_sd = 0.5\n"
    "generations = 100\n";

const std::string small_run_parameters =
    "genome_size = 20\n"
    "max_differentiation = 0.2\n"
    "mutation_rate = 0.01\n"
    "max_offspring = 2\n"
    "dispersal_prob = 0.1\n"
    "host_count = 3\n"
    "host_distance = 1\n"
    "carrying_capacity = 30\n"
    "survival_sd = 1\n"
    "generations = 25\n";

// The record without the lines that differ between two runs of the same answers: the times,
// and the file the answers came from.
std::string record_without_times(const std::string& record) {
  std::istringstream lines(record);
  std::string kept;
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("_time\"") == std::string::npos &&
        line.find("wall_seconds") == std::string::npos &&
        line.find("\"parameters_file\"") == std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

struct Scenario {
  std::string name;
  fs::path answers;  // the dialogue's standard input
  std::string seed;
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

class ShippedScenario : public ::testing::TestWithParam<Scenario> {};

// The answers by name give the run the same answers on standard input give: the same console,
// Output.dat and record, and the file --print-parameters makes of those answers is the one
// that does it.
TEST_P(ShippedScenario, RunsAsTheDialogueWithTheSameAnswers) {
  const Scenario& scenario = GetParam();
  // Minutes each in a sanitizer build, for code the two smaller scenarios run as well.
  if (sanitizer_build && (scenario.name == "bench_large" || scenario.name == "bench_species")) {
    GTEST_SKIP() << "the two largest scenarios run in the normal build";
  }
  const auto dir = fresh_directory("parameters-" + scenario.name);
  const std::string answers = read_file(scenario.answers);
  const std::string seed = "--seed " + scenario.seed;

  const RunResult dialogue = run_parasim(dir, answers, seed + " --record dialogue.json");
  ASSERT_EQ(dialogue.exit_status, 0) << dialogue.err;
  const std::string results = read_file(dir / "Output.dat");

  const RunResult printed = run_parasim(dir, answers, "--print-parameters");
  ASSERT_EQ(printed.exit_status, 0) << printed.err;
  EXPECT_EQ(printed.err, "");
  if (scenario.name == "default") {
    EXPECT_EQ(printed.out, default_parameters);
  }
  write_file(dir / "p.txt", printed.out);
  fs::remove(dir / "Output.dat");

  // Standard input holds other answers: a run that read them would differ.
  const RunResult named =
      run_parasim(dir, answers + "7\n", seed + " --parameters p.txt --record named.json");
  ASSERT_EQ(named.exit_status, 0) << named.err;
  EXPECT_EQ(named.out, dialogue.out);
  EXPECT_EQ(named.err, "");
  EXPECT_TRUE(read_file(dir / "Output.dat") == results) << "Output.dat differs";
  const std::string dialogue_record = read_file(dir / "dialogue.json");
  const std::string named_record = read_file(dir / "named.json");
  EXPECT_EQ(record_without_times(named_record), record_without_times(dialogue_record));
  EXPECT_NE(dialogue_record.find("\"parameters_file\": null,"), std::string::npos);
  EXPECT_NE(named_record.find("\"parameters_file\": \"p.txt\","), std::string::npos);
}

std::vector<Scenario> shipped_scenarios() {
  const fs::path root(PARASIM_SOURCE_DIR);
  std::vector<Scenario> scenarios = {{"default", root / "examples" / "default.txt", "42"}};
  for (const auto& entry : fs::directory_iterator(root / "bench" / "scenarios")) {
    std::string seed = read_file(entry.path() / "seed");
    seed.erase(seed.find_last_not_of(" \r\n") + 1);
    scenarios.push_back({entry.path().filename().string(), entry.path() / "stdin", seed});
  }
  return scenarios;
}

INSTANTIATE_TEST_SUITE_P(Parameters, ShippedScenario, ::testing::ValuesIn(shipped_scenarios()),
                         [](const auto& info) { return info.param.name; });

const std::string refusal_statement = "parasim: cannot read the parameters from \"p.txt\"\n";

// Every fault of a parameters file is named with its line, before anything is shown or
// written; the record says what failed.
TEST(ParametersFile, RefusalsNameTheFileAndLine) {
  const auto dir = fresh_directory("parameters-refused");
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {"genome = 100\n" + default_parameters,
       "p.txt:1: unknown name \"genome\" (the names are those of parasim --list-parameters)"},
      {default_parameters + "# again\nhost_count = 4\n",
       "p.txt:12: host_count is given again (first on line 6); give each name once"},
      {default_parameters.substr(0, default_parameters.find("generations")),
       "p.txt:9: no value for generations (each of the ten names is needed once)"},
      {"genome_size = 100\n\n",
       "p.txt:2: no value for max_differentiation, mutation_rate, max_offspring, dispersal_prob, "
       "host_count, host_distance, carrying_capacity, survival_sd, generations (each of the ten "
       "names is needed once)"},
      {"",
       "p.txt:1: no value for genome_size, max_differentiation, mutation_rate, max_offspring, "
       "dispersal_prob, host_count, host_distance, carrying_capacity, survival_sd, "
       "generations (each of the ten names is needed once)"},
      {"[run]\n" + default_parameters,
       "p.txt:1: not a line of the form name = value, a # comment or a blank line"},
      {"genome_size =  # none\n", "p.txt:1: genome_size has no value"},
      {"genome_size = 100 200\n", "p.txt:1: genome_size takes one value, not \"100 200\""},
      {"mutation_rate = 0,5\n", "p.txt:1: mutation_rate takes one value, not \"0,5\""},
      {"genome_size = 12.5\n", "p.txt:1: genome_size = 12.5: Bad integer for item 1 in list input"},
      {"generations = 2147483648\n",
       "p.txt:1: generations = 2147483648: Integer overflow while reading item 1"},
      {"survival_sd = 2e\n", "p.txt:1: survival_sd = 2e: Bad real number in item 1 of list input"},
      {"survival_sd = 1e999\n",
       "p.txt:1: survival_sd = 1e999: Bad real number in item 1 of list input"},
      {"\"genome_size\" = 100\n",
       "p.txt:1: unknown name \"\"genome_size\"\" (the names are those of parasim "
       "--list-parameters)"},
      {std::string("genome\x01\xff = 1\n", 14),
       "p.txt:1: unknown name \"genome\\x01\\xff\" (the names are those of parasim "
       "--list-parameters)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    write_file(dir / "p.txt", c.file);
    write_file(dir / "Output.dat", "old results\n");
    const RunResult run =
        run_parasim(dir, default_parameters, "--parameters p.txt --record r.json");
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, refusal_statement + c.message + "\n");
    EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
    const std::string record = read_file(dir / "r.json");
    EXPECT_NE(record.find("\"parameters\": null,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"exit_status\": 2,"), std::string::npos) << record;

    const RunResult printed = run_parasim(dir, "", "--parameters p.txt --print-parameters");
    EXPECT_EQ(printed.exit_status, 2);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, run.err);
  }
}

// A parameters file that is no regular file is refused before it is opened (a fifo would
// block, a device never end), and one too large to be one is refused before it is read.
TEST(ParametersFile, OnlyARegularFileOfAtMost1MiBIsRead) {
  const auto dir = fresh_directory("parameters-hostile");
  for (const HostileTarget& target : make_hostile_targets(dir / "targets")) {
    SCOPED_TRACE(target.kind);
    write_file(dir / "Output.dat", "old results\n");
    const std::string before = state_of(target.path);
    const RunResult run =
        run_parasim(dir, default_parameters, "--parameters '" + target.path.string() + "'", 10);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(target.path.string()), std::string::npos) << run.err;
    EXPECT_EQ(state_of(target.path), before);
    EXPECT_EQ(read_file(dir / "Output.dat"), "old results\n");
  }
  write_file(dir / "large.txt", default_parameters + std::string(1 << 20, '#'));
  const RunResult run = run_parasim(dir, "", "--parameters large.txt --seed 1");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.err, "parasim: cannot read the parameters file \"large.txt\"\n" +
                         std::string(std::strerror(EFBIG)) + "\n");
}

// A run resumed from its checkpoint takes its answers by name too, and they must be the
// checkpoint's.
TEST(ParametersFile, AResumedRunTakesThem) {
  const auto dir = fresh_directory("parameters-resume");
  write_file(dir / "p.txt", small_run_parameters);
  const RunResult whole =
      run_parasim(dir, "", "--seed 5 --parameters p.txt --checkpoint c.ckpt --checkpoint-every 10");
  ASSERT_EQ(whole.exit_status, 0) << whole.err;
  const std::string results = read_file(dir / "Output.dat");
  const RunResult resumed = run_parasim(dir, "", "--parameters p.txt --resume c.ckpt");
  ASSERT_EQ(resumed.exit_status, 0) << resumed.err;
  EXPECT_EQ(read_file(dir / "Output.dat"), results);

  write_file(dir / "other.txt",
             "generations = 31\n" +
                 small_run_parameters.substr(0, small_run_parameters.find("generations")));
  const RunResult refused = run_parasim(dir, "", "--parameters other.txt --resume c.ckpt");
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_NE(refused.err.find("other answers"), std::string::npos) << refused.err;
  EXPECT_EQ(read_file(dir / "Output.dat"), results);
}

// --print-parameters meets the dialogue's failures and refusals as a run would, and runs
// nothing. (What it prints is read back by the shipped scenarios above.)
TEST(PrintParameters, FailsAsTheDialogueAndRunsNothing) {
  const auto dir = fresh_directory("print-parameters");
  const struct {
    std::string input;
    std::string options;
    std::string err;
  } cases[] = {
      {"20\n0.2\n", "",
       "parasim: cannot read parameter 3 of 10 (\"Mutation rate\")\nEnd of file\n"},
      {answers(20, 0.2, 0.01, 2, 0.1, 0, 1.0, 30, 1.0, 5), "",
       "parasim: the parameters cannot be run\nThe number of hosts must be at least 1, not 0\n"},
      {answers(20, 0.2, 0.01, 2, 0.1, 3, 1.0, 30, 1.0, 5), "--seed 3",
       "parasim: --print-parameters runs nothing: it goes with --parameters FILE alone (try "
       "'parasim --help')\n"},
  };
  for (const auto& c : cases) {
    const RunResult run = run_parasim(dir, c.input, "--print-parameters " + c.options);
    EXPECT_EQ(run.exit_status, 2) << c.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
    EXPECT_FALSE(fs::exists(dir / "Output.dat"));
  }
}

}  // namespace
}  // namespace parasim::testing
