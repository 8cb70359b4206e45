#include <gtest/gtest.h>

#include <map>
#include <string>

#include "e2e/run_parasim.hpp"
#include "reference/parameter_sets.hpp"

namespace parasim::testing {
namespace {

// SHA-256 digests of the results files of the long runs, made by the first, unoptimised build
// of the program and unchanged by every optimisation since. They check in every test run what
// the comparison with the reference cannot: runs of a study's size (hundreds of parasites over
// 100 and 200 generations, a 400-locus genome, species labels up to 27), which take the
// reference seconds to minutes; and a change of behaviour made to the program and the reference
// together, or coming from what both share (the compiler's floating point, the C library's
// exp), which leaves the two agreeing with each other.
const std::map<std::string, std::string> stored_digests = {
    {"Genome60HundredGenerations",
     "d1b9f3cfbb8d0a34c51f4b98fe6a447b18cd018f9b271c953d294daf2d26ba3c"},
    {"Genome100HundredGenerations",
     "51a8e6a309dac2fc48e4d019df121dd48f90b7950548477f94de958f29f23292"},
    {"Genome400TwoHundredGenerations",
     "f3bdac3e949ae67734087a3c27bc744902c5fa076b6e9c94a342aba10aff88cd"},
};

TEST(StoredRuns, ResultsFilesAreUnchangedToTheByte) {
  const auto dir = fresh_directory("stored");
  ASSERT_EQ(reference::long_cases().size(), stored_digests.size());
  for (const reference::ComparisonCase& run : reference::long_cases()) {
    const RunResult result = run_parasim(dir, model::answers_text(run.parameters),
                                         "--seed " + std::to_string(run.ticks));
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(sha256_of(dir / "Output.dat"), stored_digests.at(run.name)) << run.name;
  }
}

}  // namespace
}  // namespace parasim::testing
