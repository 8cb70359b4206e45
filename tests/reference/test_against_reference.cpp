// Holds the built program to the reference model: the same answers and seed must give the same
// console transcript and the same Output.dat, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "reference/binary_runner.hpp"
#include "reference/comparison.hpp"
#include "reference/parameter_sets.hpp"

namespace parasim::reference {
namespace {

constexpr std::uint64_t kMasterSeed = 20240601;
constexpr std::uint64_t kSweepSeed = 777001;
constexpr int kRandomCases = 120;

bool long_tests() {
  const char* value = std::getenv("PARASIM_LONG_TESTS");
  return value != nullptr && std::string(value) == "1";
}

std::string checked_program() {
  const std::string program = program_path();
  EXPECT_FALSE(program.empty()) << "PARASIM_BINARY is not set";
  EXPECT_TRUE(std::filesystem::exists(program)) << "no program at " << program;
  return program;
}

// Returns the reference's run, for the checks that follow.
ReferenceRun expect_same_as_reference(const std::string& program, const ComparisonCase& test_case) {
  const Comparison comparison = compare_with_program(program, test_case);
  for (const std::string& problem : comparison.problems) {
    ADD_FAILURE() << describe(test_case) << "\n" << problem;
  }
  return comparison.expected;
}

// The situation a hand-picked case was chosen for, seen on the reference's own run.
void expect_reaches(const ComparisonCase& test_case, const ReferenceRun& run) {
  switch (test_case.reaches) {
    case Reaches::kAnything:
      break;
    case Reaches::kExtinction:
      EXPECT_EQ(run.final_population, 0) << describe(test_case);
      EXPECT_LT(run.generations_run, test_case.parameters.generations) << describe(test_case);
      break;
    case Reaches::kSeveralSpecies:
      EXPECT_GT(run.largest_reported_label, 1) << describe(test_case);
      break;
    case Reaches::kSeveralHosts:
      EXPECT_GT(run.most_reported_hosts, 1) << describe(test_case);
      break;
    case Reaches::kFullLength:
      EXPECT_EQ(run.generations_run, test_case.parameters.generations) << describe(test_case);
      break;
  }
}

class HandPicked : public testing::TestWithParam<ComparisonCase> {};

TEST_P(HandPicked, ProgramMatchesReference) {
  const std::string program = checked_program();
  ASSERT_FALSE(HasFailure());
  const ReferenceRun run = expect_same_as_reference(program, GetParam());
  expect_reaches(GetParam(), run);
}

INSTANTIATE_TEST_SUITE_P(AgainstReference, HandPicked, testing::ValuesIn(hand_picked_cases()),
                         [](const testing::TestParamInfo<ComparisonCase>& info) {
                           return info.param.name;
                         });

// The random runs in a few blocks of consecutive cases, so that a failure still points to a
// small block while the test processes stay few.
constexpr int kBlockSize = 10;

class RandomBlock : public testing::TestWithParam<int> {};

TEST_P(RandomBlock, ProgramMatchesReference) {
  const std::string program = checked_program();
  ASSERT_FALSE(HasFailure());
  const std::vector<ComparisonCase> cases = random_cases(kMasterSeed, kRandomCases, "Random");
  const int first = GetParam() * kBlockSize;
  for (int n = first; n < first + kBlockSize; ++n) {
    expect_same_as_reference(program, cases[static_cast<std::size_t>(n)]);
  }
}

INSTANTIATE_TEST_SUITE_P(AgainstReference, RandomBlock,
                         testing::Range(0, kRandomCases / kBlockSize));

// Runs of a study's size: about 5 s, 5 s and 90 s of the reference's time in a release build.
TEST(AgainstReference, LongRuns) {
  if (!long_tests()) {
    GTEST_SKIP() << "runs with PARASIM_LONG_TESTS=1";
  }
  const std::string program = checked_program();
  ASSERT_FALSE(HasFailure());
  for (const ComparisonCase& test_case : long_cases()) {
    expect_reaches(test_case, expect_same_as_reference(program, test_case));
  }
}

// A further sweep from another master seed: a short one always, 2,000 runs with
// PARASIM_LONG_TESTS=1. Stops after the first few disagreeing runs.
TEST(AgainstReference, RandomSweep) {
  const std::string program = checked_program();
  ASSERT_FALSE(HasFailure());
  const int count = long_tests() ? 2000 : 30;
  int disagreeing = 0;
  for (const ComparisonCase& test_case : random_cases(kSweepSeed, count, "Sweep")) {
    const std::vector<std::string> problems = compare_with_program(program, test_case).problems;
    for (const std::string& problem : problems) {
      ADD_FAILURE() << describe(test_case) << "\n" << problem;
    }
    if (!problems.empty() && ++disagreeing == 5) {
      break;
    }
  }
}

}  // namespace
}  // namespace parasim::reference
