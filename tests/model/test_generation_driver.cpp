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

// Run in halves or whole, the run is the same; the halves cannot be run out of turn.
TEST(GenerationDriver, HalvesAndWholeGenerationsRunAlike) {
  Simulation whole(testing::small_world(16, 0.01, 25), 8);
  Simulation halves(testing::small_world(16, 0.01, 25), 8);
  testing::RecordingObserver whole_calls;
  testing::RecordingObserver halves_calls;
  GenerationDriver whole_driver(whole, &whole_calls, {&whole_calls});
  GenerationDriver halves_driver(halves, &halves_calls, {&halves_calls});
  EXPECT_THROW(halves_driver.finish(), std::logic_error);
  halves_driver.label();
  EXPECT_TRUE(halves_driver.labelled());
  EXPECT_THROW(halves_driver.label(), std::logic_error);
  while (!halves_driver.finished()) {
    halves_driver.finish();
    EXPECT_FALSE(halves_driver.labelled());
    if (!halves_driver.finished()) {
      halves_driver.label();
    }
  }
  EXPECT_THROW(halves_driver.label(), std::logic_error);
  whole_driver.run_to_end();
  EXPECT_EQ(halves_calls.calls, whole_calls.calls);
}

}  // namespace
}  // namespace parasim::model
