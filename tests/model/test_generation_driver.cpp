#include "model/generation_driver.hpp"

#include <gtest/gtest.h>

#include "model/recording_observer.hpp"
#include "model/small_world.hpp"

namespace parasim::model {
namespace {

// Each generation: the observers after the labelling, in their order; the report when one is
// due, before the breeding; the observers after the breeding, which shows the next
// generation. A run that dies out ends after the generation whose children all died.
TEST(GenerationDriver, TellsTheObserversAndReportsInTheGenerationsOrder) {
  for (const std::int32_t generations : {0, 1, 12, 40}) {
    Simulation simulation(testing::small_world(16, 0.01, generations), 31);
    testing::RecordingObserver first;
    testing::RecordingObserver second;
    GenerationDriver driver(simulation, &first, {&first, &second});
    driver.run_to_end();
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(second.calls.size(), 2u * static_cast<std::size_t>(simulation.generations_run()));
    std::size_t at = 0;
    for (std::int32_t g = 1; g <= simulation.generations_run(); ++g) {
      ASSERT_LT(at + 1, first.calls.size());
      EXPECT_EQ(first.calls[at++].rfind("labelled " + std::to_string(g) + " ", 0), 0u);
      if (g == 1 || g % 10 == 0) {
        EXPECT_EQ(first.calls[at++].rfind("report " + std::to_string(g) + " ", 0), 0u);
      }
      EXPECT_EQ(first.calls[at++].rfind("bred " + std::to_string(g + 1) + " ", 0), 0u);
    }
    EXPECT_EQ(at, first.calls.size());
  }
}

// The halves run only in turn: a labelled generation is finished before the next is labelled.
TEST(GenerationDriver, RunsTheHalvesOnlyInTurn) {
  Simulation simulation(testing::small_world(16, 0.01, 1), 8);
  GenerationDriver driver(simulation, nullptr, {});
  EXPECT_THROW(driver.finish(), std::logic_error);
  driver.label();
  EXPECT_THROW(driver.label(), std::logic_error);
  driver.finish();
  EXPECT_TRUE(driver.finished());
  EXPECT_THROW(driver.label(), std::logic_error);
}

}  // namespace
}  // namespace parasim::model
