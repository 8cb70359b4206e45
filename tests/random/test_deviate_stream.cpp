#include "random/deviate_stream.hpp"

#include <gtest/gtest.h>

#include <random>

#include "random/stream_testing.hpp"

namespace parasim::random {
namespace {

using testing::all_paths;

// Past the longest tail and round the longest cycle more than ten times; the shorter
// cycles are crossed many more times.
constexpr std::uint64_t long_stream = 91964 + 12 * 21729;

TEST(DeviateStream, EveryPathDrawsTheGeneratorsOutputs) {
  for (const std::int32_t ticks : testing::telling_tick_counts()) {
    for (const StreamPath path : all_paths()) {
      reference::Generator expected = testing::seeded_reference(ticks);
      DeviateStream stream(testing::state_of(expected), path);
      if (path.fill == StreamFill::sequential) {
        EXPECT_EQ(stream.cycle(), nullptr);
      } else {
        ASSERT_NE(stream.cycle(), nullptr) << ticks;
      }
      for (std::uint64_t i = 0; i < long_stream; ++i) {
        ASSERT_EQ(stream.next_output(), reference::next_output(expected))
            << "ticks " << ticks << " path " << testing::describe(path) << " draw " << i;
      }
      EXPECT_EQ(stream.deviates_drawn(), long_stream);
      EXPECT_EQ(stream.state(), testing::state_of(expected));
    }
  }
}

TEST(DeviateStream, OnTheFixedPointTheOutputIsTheXorshiftWordAlone) {
  for (const StreamPath path : all_paths()) {
    DeviateStream stream(testing::state_of(testing::seeded_reference(300518236)), path);
    for (int i = 0; i < 20000; ++i) {
      const std::uint32_t output = stream.next_output();
      ASSERT_EQ(stream.state().w, 0u);
      ASSERT_EQ(output, stream.state().z);
    }
  }
}

// Every way of reading the stream, interleaved at random, against the literal
// generator: single outputs, indices, deviates, runs of outputs, event bits and
// exchange positions (narrow and wide, whole blocks among them).
TEST(DeviateStream, EveryConsumerReadsTheSameSequence) {
  std::mt19937 choices(4242);
  for (const std::int32_t ticks : {0, 31386512, 1169518977, 77}) {
    for (const StreamPath path : all_paths()) {
      reference::Generator expected = testing::seeded_reference(ticks);
      DeviateStream stream(testing::state_of(expected), path);
      std::uint64_t drawn = 0;
      while (drawn < 150000) {
        const std::uint32_t count = 1 + choices() % 9000;
        switch (choices() % 6) {
          case 0:
            ASSERT_EQ(stream.next_output(), reference::next_output(expected));
            ++drawn;
            break;
          case 1: {
            const std::uint32_t n = 1 + choices();
            const std::uint64_t k = reference::next_output(expected);
            ASSERT_EQ(stream.next_index(n), static_cast<std::uint32_t>((n * k) >> 32));
            ASSERT_EQ(stream.uniform_deviate(), reference::uniform_deviate(expected));
            drawn += 2;
            break;
          }
          case 2: {
            const auto outputs = stream.next_outputs(count);
            ASSERT_GE(outputs.size(), 1u);
            for (const std::uint32_t k : outputs) {
              ASSERT_EQ(k, reference::next_output(expected));
            }
            drawn += outputs.size();
            break;
          }
          case 3: {
            const std::size_t events = count % 65;
            const double probability = (choices() % 6) / 4.0 - 0.1;  // -0.1 ... 1.15
            const EventThreshold threshold(probability);
            const std::uint64_t bits = stream.next_events(events, threshold);
            for (std::size_t i = 0; i < events; ++i) {
              const double u = reference::uniform_deviate(expected);
              ASSERT_EQ((bits >> i) & 1u, u <= probability ? 1u : 0u) << i;
            }
            drawn += events;
            break;
          }
          default: {
            const bool narrow = choices() % 2 == 0;
            const std::uint32_t n = narrow ? 1 + choices() % 65536 : 65537 + choices() % 100000;
            std::vector<std::uint16_t> narrow_positions(count);
            std::vector<std::uint32_t> wide_positions(count);
            if (narrow) {
              stream.next_positions(n, count, narrow_positions.data());
            } else {
              stream.next_positions(n, count, wide_positions.data());
            }
            for (std::uint32_t i = 0; i < count; ++i) {
              const std::uint64_t k = reference::next_output(expected);
              const auto position = static_cast<std::uint32_t>((n * k) >> 32);
              ASSERT_EQ(narrow ? narrow_positions[i] : wide_positions[i], position) << i;
            }
            drawn += count;
          }
        }
        ASSERT_EQ(stream.deviates_drawn(), drawn);
      }
      EXPECT_EQ(stream.state(), testing::state_of(expected));
    }
  }
}

// A checkpoint holds the generator's state; a stream made from it on any path goes on
// exactly as the stream that wrote it, whether it was taken in the tail before the
// cycle, at a block's edge or within a block.
TEST(DeviateStream, StateTakenOnOnePathGoesOnOnEveryOther) {
  for (const std::uint64_t taken_after : {0u, 1u, 4095u, 4096u, 91963u, 91964u, 91965u, 250001u}) {
    for (const StreamPath first : all_paths()) {
      reference::Generator expected = testing::seeded_reference(31386512);
      DeviateStream writer(testing::state_of(expected), first);
      for (std::uint64_t i = 0; i < taken_after; ++i) {
        writer.next_output();
        reference::next_output(expected);
      }
      const Generator::State checkpoint = writer.state();
      ASSERT_EQ(checkpoint, testing::state_of(expected)) << taken_after;
      for (const StreamPath second : all_paths()) {
        reference::Generator continued = expected;
        DeviateStream resumed(checkpoint, second);
        for (int i = 0; i < 30000; ++i) {
          ASSERT_EQ(resumed.next_output(), reference::next_output(continued))
              << taken_after << " " << testing::describe(first) << " -> "
              << testing::describe(second);
        }
      }
    }
  }
}

}  // namespace
}  // namespace parasim::random
