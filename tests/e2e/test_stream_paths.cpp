#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "e2e/run_parasim.hpp"
#include "random/deviate_stream.hpp"
#include "random/vector_paths.hpp"
#include "sanitizer_build.hpp"

namespace parasim::testing {
namespace {

// The run's deviates come from a stream made in blocks, in the lanes of the vector path,
// or by the generator one step after another; the kernels above it take the same vector
// path. PARASIM_VECTORS and PARASIM_STREAM force them; every path must give the same bytes.
struct ForcedPath {
  std::string vectors;
  std::string fill;
};

std::string describe(const ForcedPath& path) {
  return path.fill + " on " + path.vectors;
}

// Every path this processor runs, each fill on each vector path.
std::vector<ForcedPath> forced_paths() {
  std::vector<ForcedPath> paths;
  for (const char* fill : {"blocks", "sequential"}) {
    for (const random::VectorPath vectors : random::all_vector_paths) {
      if (random::processor_paths().has(vectors)) {
        paths.push_back({std::string(random::vector_path_name(vectors)), fill});
      }
    }
  }
  return paths;
}

// Sets a variable of the environment for the parasim runs of a scope.
class ForcedVariable {
 public:
  ForcedVariable(const char* name, const std::string& value) : name_(name) {
    setenv(name, value.c_str(), 1);
  }
  ~ForcedVariable() { unsetenv(name_); }
  ForcedVariable(const ForcedVariable&) = delete;
  ForcedVariable& operator=(const ForcedVariable&) = delete;

 private:
  const char* name_;
};

class Forced {
 public:
  explicit Forced(const ForcedPath& path)
      : vectors_(random::vector_switch, path.vectors), fill_(random::stream_switch, path.fill) {}

 private:
  ForcedVariable vectors_;
  ForcedVariable fill_;
};

TEST(StreamPaths, EveryPathWritesTheSameResults) {
  const auto dir = fresh_directory("paths");
  for (const std::string& input : {answers(40, 0.1, 0.01, 2, 0.1, 5, 0.75, 150, 0.5, 60),
                                   answers(0, 0.5, 0.01, 2, 0.2, 3, 1.0, 30, 1.0, 30)}) {
    const RunResult usual = run_parasim(dir, input, "--seed 31386512");
    ASSERT_EQ(usual.exit_status, 0) << usual.err;
    const std::string results = read_file(dir / "Output.dat");
    for (const ForcedPath& path : forced_paths()) {
      const Forced forced(path);
      const RunResult run = run_parasim(dir, input, "--seed 31386512");
      ASSERT_EQ(run.exit_status, 0) << run.err;
      EXPECT_EQ(run.out, usual.out) << describe(path);
      EXPECT_EQ(read_file(dir / "Output.dat"), results) << describe(path);
    }
  }
}

// A checkpoint written on one path and resumed on another ends with the results file
// of the run never interrupted. Each path writes once and reads once, the next one's
// checkpoint; the stream's unit tests go through every pair. A sanitizer build runs thirty
// generations, resumed after the twentieth.
TEST(StreamPaths, CheckpointOnOnePathResumedOnAnother) {
  const auto dir = fresh_directory("paths-resume");
  const std::string input =
      answers(60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, sanitizer_build ? 30 : 50);
  ASSERT_EQ(run_parasim(dir, input, "--seed 300518236").exit_status, 0);
  const std::string uninterrupted = read_file(dir / "Output.dat");
  const std::vector<ForcedPath> paths = forced_paths();
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const ForcedPath& writer = paths[i];
    const ForcedPath& reader = paths[(i + 1) % paths.size()];
    {
      const Forced forced(writer);
      ASSERT_EQ(
          run_parasim(dir, input, "--seed 300518236 --checkpoint run.ckpt --checkpoint-every 20")
              .exit_status,
          0);
    }
    const Forced forced(reader);
    const RunResult resumed = run_parasim(dir, input, "--resume run.ckpt");
    ASSERT_EQ(resumed.exit_status, 0) << resumed.err;
    EXPECT_EQ(read_file(dir / "Output.dat"), uninterrupted)
        << describe(writer) << " -> " << describe(reader);
  }
}

// The shipped benchmark scenarios (bench/scenarios, each the ten answers and a seed) write
// these results files, to the byte, on every path. bench_genome is also the stored run
// Genome400TwoHundredGenerations.
const std::map<std::string, std::string> scenario_digests = {
    {"bench_genome", "f3bdac3e949ae67734087a3c27bc744902c5fa076b6e9c94a342aba10aff88cd"},
    {"bench_species", "8bdbccb20bf720adfbc9e51cdc8e655537f7cad06425c07d167de971d36cb2c7"},
    {"bench_large", "a292bf3ba9ae35af3db172dcc4a995a9466010770742213362ba678d20b99fd6"},
};

TEST(StreamPaths, ShippedScenariosWriteTheirStoredResultsOnEveryPath) {
  if (sanitizer_build) {
    GTEST_SKIP() << "minutes of runs in a sanitizer build; the smaller runs here check the same";
  }
  const char* long_tests = std::getenv("PARASIM_LONG_TESTS");
  const bool long_runs = long_tests != nullptr && std::string(long_tests) == "1";
  const auto dir = fresh_directory("scenarios");
  for (const auto& [name, digest] : scenario_digests) {
    // Four thousand million deviates on each path: seconds in a release build.
    if (name == "bench_large" && !long_runs) {
      continue;
    }
    const std::filesystem::path scenario =
        std::filesystem::path(PARASIM_SOURCE_DIR) / "bench/scenarios" / name;
    std::string seed = read_file(scenario / "seed");
    seed.erase(seed.find_last_not_of(" \n") + 1);
    ASSERT_FALSE(seed.empty()) << name;
    for (const ForcedPath& path : forced_paths()) {
      const Forced forced(path);
      const RunResult run = run_parasim(dir, read_file(scenario / "stdin"), "--seed " + seed);
      ASSERT_EQ(run.exit_status, 0) << name << " " << describe(path) << ": " << run.err;
      EXPECT_EQ(sha256_of(dir / "Output.dat"), digest) << name << " " << describe(path);
    }
  }
}

// A switch that cannot be honoured stops the run before it asks anything: status 2, a
// report on standard error, nothing written and an earlier results file left as it was.
TEST(PathSwitches, RefusedValuesStopTheRunBeforeItAsks) {
  struct Refused {
    const char* variable;
    std::string value;
    std::string message;
  };
  std::vector<Refused> cases = {
      {"PARASIM_VECTORS", "avx1024",
       "it is none of the values PARASIM_VECTORS takes: auto, portable, avx2, avx512"},
      {"PARASIM_VECTORS", "Portable",
       "it is none of the values PARASIM_VECTORS takes: auto, portable, avx2, avx512"},
      {"PARASIM_STREAM", "plain", "it is now PARASIM_VECTORS=portable"},
      {"PARASIM_STREAM", "vector", "it is now PARASIM_VECTORS=auto"},
      {"PARASIM_STREAM", "lanes",
       "it is none of the values PARASIM_STREAM takes: blocks, sequential"},
  };
  // A path this build or processor lacks (in a build of the portable kernels alone: avx2 and
  // avx512).
  for (const random::VectorPath path : random::all_vector_paths) {
    if (!random::processor_paths().has(path)) {
      cases.push_back(
          {"PARASIM_VECTORS", std::string(random::vector_path_name(path)),
           "this build runs only " + random::processor_paths().names() + " on this processor"});
    }
  }
  const auto dir = fresh_directory("switches");
  const std::string earlier = results_file_header + "earlier results\n";
  for (const Refused& c : cases) {
    write_file(dir / "Output.dat", earlier);
    std::filesystem::remove(dir / "record.json");
    const ForcedVariable forced(c.variable, c.value);
    const RunResult run = run_parasim(dir, answers(10, 0.1, 0.01, 2, 0.1, 2, 1.0, 20, 0.5, 5),
                                      "--seed 1 --record record.json");
    const std::string setting = std::string(c.variable) + "=" + c.value;
    EXPECT_EQ(run.exit_status, 2) << setting;
    EXPECT_EQ(run.out, "") << setting;
    EXPECT_EQ(run.err, "parasim: cannot use " + setting + "\n" + c.message + "\n");
    EXPECT_EQ(read_file(dir / "Output.dat"), earlier) << setting;
    EXPECT_FALSE(std::filesystem::exists(dir / "record.json")) << setting;
  }
}

}  // namespace
}  // namespace parasim::testing
