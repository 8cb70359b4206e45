#include "label_history.hpp"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace parasim::report_tool {
namespace {

using Span = std::tuple<std::int64_t, std::int64_t, std::int64_t, bool>;

std::vector<Span> as_tuples(const std::vector<LabelSpan>& spans) {
  std::vector<Span> tuples;
  for (const LabelSpan& span : spans) {
    tuples.emplace_back(span.species_id, span.first_generation, span.last_generation,
                        span.label_reused);
  }
  return tuples;
}

TEST(LabelHistory, DatesAppearancesAndDisappearancesByTheReportsThatShowThem) {
  LabelHistory history;
  history.add_generation(1, {1});
  history.add_generation(10, {1, 2});
  history.add_generation(20, {1, 2, 3});
  history.add_generation(30, {2, 3});
  history.add_generation(40, {2});
  EXPECT_EQ(history.generation_count(), 5u);
  EXPECT_EQ(history.last_generation(), 40);
  EXPECT_EQ(as_tuples(history.appearances()),
            (std::vector<Span>{{1, 1, 20, false}, {2, 10, 40, false}, {3, 20, 30, false}}));
  EXPECT_EQ(as_tuples(history.disappearances()),
            (std::vector<Span>{{1, 1, 20, false}, {3, 20, 30, false}}));
}

// A label that is missing from one report and back in a later one belongs to a new species:
// fresh labels start above the largest label still carried, so a dead species' number returns.
TEST(LabelHistory, GivesAReturningLabelASpanOfItsOwn) {
  LabelHistory history;
  history.add_generation(1, {1});
  history.add_generation(10, {1, 2});
  history.add_generation(20, {1});
  history.add_generation(30, {1, 2});
  history.add_generation(40, {1, 2});
  EXPECT_EQ(as_tuples(history.appearances()),
            (std::vector<Span>{{1, 1, 40, false}, {2, 10, 10, false}, {2, 30, 40, true}}));
  EXPECT_EQ(as_tuples(history.disappearances()), (std::vector<Span>{{2, 10, 10, false}}));
}

TEST(LabelHistory, IsEmptyWithoutGenerations) {
  LabelHistory history;
  EXPECT_EQ(history.generation_count(), 0u);
  EXPECT_TRUE(history.appearances().empty());
  EXPECT_TRUE(history.disappearances().empty());
}

}  // namespace
}  // namespace parasim::report_tool
