#include "random/xorshift_jump.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "random/stream_testing.hpp"

namespace parasim::random {
namespace {

TEST(XorshiftJump, JumpsAsFarAsSteppingGoes) {
  reference::Generator source = testing::seeded_reference(99);
  for (const std::uint64_t distance : {0u, 1u, 2u, 3u, 31u, 512u, 4096u, 100003u}) {
    const XorshiftJump jump(distance);
    for (int trial = 0; trial < 4; ++trial) {
      const XorshiftWords start{reference::next_output(source), reference::next_output(source),
                                reference::next_output(source)};
      XorshiftWords stepped = start;
      for (std::uint64_t i = 0; i < distance; ++i) {
        stepped = next_xorshift_words(stepped);
      }
      ASSERT_EQ(jump(start), stepped) << distance;
    }
  }
  // Jumps add up.
  const XorshiftWords s{0x12345678u, 0x9ABCDEF0u, 0x0F1E2D3Cu};
  EXPECT_EQ(XorshiftJump(700)(XorshiftJump(300)(s)), XorshiftJump(1000)(s));
}

// Advancing many lanes at once, on every path and for any number of lanes, gives each lane
// what the jump gives it alone.
TEST(XorshiftJump, AdvancingLanesTogetherJumpsEachLane) {
  reference::Generator source = testing::seeded_reference(7);
  for (const std::uint64_t distance : {1u, 4096u, 100003u}) {
    const XorshiftJump jump(distance);
    for (const VectorPath path : all_vector_paths) {
      if (!processor_paths().has(path)) {
        continue;
      }
      for (const std::size_t count : {1u, 5u, 8u, 16u}) {
        std::vector<XorshiftWords> lanes;
        for (std::size_t lane = 0; lane < count; ++lane) {
          lanes.push_back({reference::next_output(source), reference::next_output(source),
                           reference::next_output(source)});
        }
        std::vector<XorshiftWords> advanced = lanes;
        jump.advance(advanced, path);
        for (std::size_t lane = 0; lane < count; ++lane) {
          ASSERT_EQ(advanced[lane], jump(lanes[lane]))
              << vector_path_name(path) << " " << count << " lanes, lane " << lane;
        }
      }
    }
  }
}

}  // namespace
}  // namespace parasim::random
