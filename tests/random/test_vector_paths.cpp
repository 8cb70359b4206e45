#include "random/vector_paths.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "random/deviate_stream.hpp"

namespace parasim::random {
namespace {

using Reason = SwitchRefused::Reason;

RunnablePaths portable_only() {
  return RunnablePaths();
}

RunnablePaths with_avx2() {
  RunnablePaths paths;
  paths.add(VectorPath::avx2);
  return paths;
}

RunnablePaths with_avx512() {
  RunnablePaths paths = with_avx2();
  paths.add(VectorPath::avx512);
  return paths;
}

// What a value of a switch gives: a choice, or a refusal for a reason.
template <typename Choice>
struct SwitchCase {
  const char* value;  // null: the variable is unset
  RunnablePaths runnable;
  std::optional<Choice> chosen;
  std::optional<Reason> refused;
};

template <typename Choice, typename Choose>
void expect_choices(const std::vector<SwitchCase<Choice>>& cases, Choose choose) {
  for (const SwitchCase<Choice>& c : cases) {
    const std::string value = c.value == nullptr ? "(unset)" : c.value;
    try {
      const Choice chosen = choose(c.value, c.runnable);
      EXPECT_FALSE(c.refused) << value << " was taken";
      EXPECT_EQ(chosen, c.chosen) << value;
    } catch (const SwitchRefused& refused) {
      EXPECT_EQ(refused.reason(), c.refused) << value << ": " << refused.what();
      EXPECT_EQ(refused.value(), value);
    }
  }
}

TEST(VectorSwitch, ChoosesTheWidestOrTheNamedPathAndRefusesTheRest) {
  const std::vector<SwitchCase<VectorPath>> cases = {
      {nullptr, with_avx2(), VectorPath::avx2, {}},
      {"", with_avx2(), VectorPath::avx2, {}},
      {"auto", with_avx2(), VectorPath::avx2, {}},
      {"auto", portable_only(), VectorPath::portable, {}},
      {nullptr, portable_only(), VectorPath::portable, {}},
      {"portable", with_avx2(), VectorPath::portable, {}},
      {"avx2", with_avx2(), VectorPath::avx2, {}},
      {"avx2", portable_only(), {}, Reason::not_on_this_processor},
      {nullptr, with_avx512(), VectorPath::avx512, {}},
      {"auto", with_avx512(), VectorPath::avx512, {}},
      {"avx2", with_avx512(), VectorPath::avx2, {}},
      {"avx512", with_avx512(), VectorPath::avx512, {}},
      {"avx512", with_avx2(), {}, Reason::not_on_this_processor},
      {"AVX2", with_avx2(), {}, Reason::unknown_value},
      {"avx512f", with_avx512(), {}, Reason::unknown_value},
      {"avx2 ", with_avx2(), {}, Reason::unknown_value},
      {"plain", with_avx2(), {}, Reason::unknown_value},
  };
  expect_choices(cases, choose_vector_path);
}

TEST(StreamSwitch, ChoosesTheFillAndPointsOldValuesToTheVectorSwitch) {
  const auto choose = [](const char* value, RunnablePaths) { return choose_stream_fill(value); };
  const std::vector<SwitchCase<StreamFill>> cases = {
      {nullptr, {}, StreamFill::blocks, {}},         {"", {}, StreamFill::blocks, {}},
      {"blocks", {}, StreamFill::blocks, {}},        {"sequential", {}, StreamFill::sequential, {}},
      {"plain", {}, {}, Reason::replaced},           {"vector", {}, {}, Reason::replaced},
      {"Sequential", {}, {}, Reason::unknown_value},
  };
  expect_choices(cases, choose);
}

}  // namespace
}  // namespace parasim::random
