// Linked into the test programs that ctest runs once per vector path, with PARASIM_VECTORS
// naming the path: on a processor that lacks the path they are skipped rather than failed,
// and a switch that names no path fails them all.
#include <gtest/gtest.h>

#include "random/vector_paths.hpp"

namespace parasim::random {
namespace {

class VectorPathOfTheRun : public ::testing::Environment {
 public:
  void SetUp() override {
    try {
      vector_path();
    } catch (const SwitchRefused& refused) {
      if (refused.reason() == SwitchRefused::Reason::not_on_this_processor) {
        GTEST_SKIP() << refused.what();
      }
      FAIL() << refused.what();
    }
  }
};

[[maybe_unused]] ::testing::Environment* const vector_path_of_the_run =
    ::testing::AddGlobalTestEnvironment(new VectorPathOfTheRun);

}  // namespace
}  // namespace parasim::random
