#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2e/run_parasim.hpp"

namespace parasim::testing {
namespace {

// The run's deviates come from a stream made in blocks: by AVX2 lanes where the
// processor has them, by the plain loop elsewhere, or by the generator one step after
// another. PARASIM_STREAM forces a path; every path must give the same bytes.
class StreamPath {
 public:
  explicit StreamPath(const char* path) {
    if (path == nullptr) {
      unsetenv("PARASIM_STREAM");
    } else {
      setenv("PARASIM_STREAM", path, 1);
    }
  }
  ~StreamPath() { unsetenv("PARASIM_STREAM"); }
};

const char* const forced_paths[] = {"vector", "plain", "sequential"};

TEST(StreamPaths, EveryPathWritesTheSameResults) {
  const auto dir = fresh_directory("paths");
  for (const std::string& input : {answers(40, 0.1, 0.01, 2, 0.1, 5, 0.75, 150, 0.5, 60),
                                   answers(0, 0.5, 0.01, 2, 0.2, 3, 1.0, 30, 1.0, 30)}) {
    const RunResult usual = run_parasim(dir, input, "--seed 31386512");
    ASSERT_EQ(usual.exit_status, 0) << usual.err;
    const std::string results = read_file(dir / "Output.dat");
    for (const char* path : forced_paths) {
      const StreamPath forced(path);
      const RunResult run = run_parasim(dir, input, "--seed 31386512");
      ASSERT_EQ(run.exit_status, 0) << run.err;
      EXPECT_EQ(run.out, usual.out) << path;
      EXPECT_EQ(read_file(dir / "Output.dat"), results) << path;
    }
  }
}

// A checkpoint written on one path and resumed on another ends with the results file
// of the run never interrupted.
TEST(StreamPaths, CheckpointOnOnePathResumedOnAnother) {
  const auto dir = fresh_directory("paths-resume");
  const std::string input = answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 50);
  ASSERT_EQ(run_parasim(dir, input, "--seed 300518236").exit_status, 0);
  const std::string uninterrupted = read_file(dir / "Output.dat");
  for (const char* writer : forced_paths) {
    for (const char* reader : forced_paths) {
      {
        const StreamPath forced(writer);
        ASSERT_EQ(
            run_parasim(dir, input, "--seed 300518236 --checkpoint run.ckpt --checkpoint-every 20")
                .exit_status,
            0);
      }
      const StreamPath forced(reader);
      const RunResult resumed = run_parasim(dir, input, "--resume run.ckpt");
      ASSERT_EQ(resumed.exit_status, 0) << resumed.err;
      EXPECT_EQ(read_file(dir / "Output.dat"), uninterrupted) << writer << " -> " << reader;
    }
  }
}

}  // namespace
}  // namespace parasim::testing
