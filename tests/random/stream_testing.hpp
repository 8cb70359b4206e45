#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "random/deviate_stream.hpp"
#include "reference/reference_random.hpp"

namespace parasim::random::testing {

// The stream on every path this processor runs: each fill on each vector path.
inline std::vector<StreamPath> all_paths() {
  std::vector<StreamPath> paths;
  for (const StreamFill fill : {StreamFill::blocks, StreamFill::sequential}) {
    for (const VectorPath vectors : all_vector_paths) {
      if (processor_paths().has(vectors)) {
        paths.push_back({fill, vectors});
      }
    }
  }
  return paths;
}

inline std::string describe(StreamPath path) {
  return std::string(path.fill == StreamFill::blocks ? "blocks" : "sequential") + " on " +
         std::string(vector_path_name(path.vectors));
}

// Tick counts worth a stream of their own: the ends of the range, the longest tail
// before the cycle (31,386,512), the three that reach the fixed point w = 0 (at once:
// 572,662,195; after one step: 300,518,236 and 1,169,518,977; bench/word_cycles), and
// some drawn at random.
inline std::vector<std::int32_t> telling_tick_counts() {
  std::vector<std::int32_t> ticks = {0,        1,         123456,    2147483647,
                                     31386512, 572662195, 300518236, 1169518977};
  reference::Generator source;
  reference::init_random_seed(source, 2718);
  for (int i = 0; i < 12; ++i) {
    ticks.push_back(static_cast<std::int32_t>(reference::next_output(source) >> 1));
  }
  return ticks;
}

inline reference::Generator seeded_reference(std::int32_t ticks) {
  reference::Generator generator;
  reference::init_random_seed(generator, ticks);
  return generator;
}

inline Generator::State state_of(const reference::Generator& g) {
  return {g.x, g.y, g.z, g.w};
}

}  // namespace parasim::random::testing
