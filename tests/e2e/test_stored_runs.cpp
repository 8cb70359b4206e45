#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

// Whole results files of fixed runs, made by the plain build before the generator,
// the permutation and the clustering were optimised, held as SHA-256 digests. Any
// change of behaviour, however small, shows here.
struct StoredRun {
  const char* seed;
  const char* answers;
  const char* digest;
};

const StoredRun stored_runs[] = {
    {"777", "400 0.02 0.002 2 0.05 6 0.75 200 0.5 200",
     "f3bdac3e949ae67734087a3c27bc744902c5fa076b6e9c94a342aba10aff88cd"},
    {"42", "100 0.1 0.005 2 0.05 5 1.0 200 0.5 100",
     "51a8e6a309dac2fc48e4d019df121dd48f90b7950548477f94de958f29f23292"},
    {"7", "60 0.1 0.01 2 0.1 5 0.75 200 0.5 100",
     "d1b9f3cfbb8d0a34c51f4b98fe6a447b18cd018f9b271c953d294daf2d26ba3c"},
    {"3", "0 0.5 0.01 2 0.2 3 1.0 30 1.0 30",
     "f2c80107965779bf525001c30b116f16e71cd5a70a575eb75f7707534ba2cae2"},
    {"99", "65 0.05 0.02 3 0.3 6 0.5 50 0.7 40",
     "56d3f4e4f834e439f2d6f829280de8e26b734560ee3a515e3dd95b61de1ac094"},
    {"5", "10 0.7 0.05 4 0.5 8 0.3 20 2.0 60",
     "05d5364009702dc366f54dfc8d71d0e1055033746fb07fc16e2bf91376d74255"},
};

std::string sha256_of(const std::filesystem::path& file) {
  const std::filesystem::path digest = file.parent_path() / "digest.txt";
  const std::string command = "sha256sum '" + file.string() + "' > '" + digest.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return read_file(digest).substr(0, 64);
}

TEST(StoredRuns, ResultsFilesAreUnchangedToTheByte) {
  const auto dir = fresh_directory("stored");
  for (const StoredRun& run : stored_runs) {
    std::string input = run.answers;
    std::replace(input.begin(), input.end(), ' ', '\n');
    const RunResult result = run_parasim(dir, input + "\n", std::string("--seed ") + run.seed);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(sha256_of(dir / "Output.dat"), run.digest) << run.answers << " seed " << run.seed;
  }
}

}  // namespace
}  // namespace parasim::testing
