#include "random/deferred_shuffle.hpp"

#include <gtest/gtest.h>

#include <random>

#include "random/stream_testing.hpp"

namespace parasim::random {
namespace {

using testing::all_paths;
using testing::describe;

std::vector<std::int32_t> literal_shuffle(reference::Generator& generator, std::int32_t n,
                                          std::int32_t offset) {
  reference::OneBased<std::int32_t> vector(n);
  reference::shuffle(generator, vector, n, offset);
  std::vector<std::int32_t> entries;
  for (std::int32_t i = 1; i <= n; ++i) {
    entries.push_back(vector(i));
  }
  return entries;
}

// How many leading entries to read: one, a batch's worth, just past a batch, all of
// them one by one, or all at once (-1).
constexpr std::int64_t reads[] = {1, 2, 8, 9, 17, 33, 1 << 30, -1};

template <typename Source>
void expect_literal_orders(Source& source, reference::Generator& expected, const char* what) {
  DeferredShuffle order;
  for (const std::int32_t n :
       {1, 2, 3, 7, 63, 64, 65, 100, 371, 1000, 4099, 9000, 65536, 65537, 70001}) {
    for (const std::int64_t read : reads) {
      const std::int32_t offset = n % 3 - 1;
      order.draw(source, n, offset);
      const std::vector<std::int32_t> literal = literal_shuffle(expected, n, offset);
      ASSERT_EQ(order.size(), static_cast<std::size_t>(n));
      if (read < 0) {
        const auto entries = order.entries();
        ASSERT_TRUE(std::equal(entries.begin(), entries.end(), literal.begin(), literal.end()))
            << what << " n " << n;
        continue;
      }
      for (std::int64_t i = 0; i < std::min<std::int64_t>(read, n); ++i) {
        ASSERT_EQ(order[static_cast<std::size_t>(i)], literal[static_cast<std::size_t>(i)])
            << what << " n " << n << " read " << read << " entry " << i;
      }
    }
  }
}

TEST(DeferredShuffle, EntriesAreTheLiteralShufflesHoweverTheyAreRead) {
  for (const StreamPath path : all_paths()) {
    reference::Generator expected = testing::seeded_reference(123456);
    DeviateStream stream(testing::state_of(expected), path);
    expect_literal_orders(stream, expected, "stream");
    EXPECT_EQ(stream.state(), testing::state_of(expected));
  }
  reference::Generator expected = testing::seeded_reference(8080);
  Generator generator(testing::state_of(expected));
  expect_literal_orders(generator, expected, "generator");
  EXPECT_EQ(generator.state(), testing::state_of(expected));
}

// Runs of orders that need one entry, then many, then one again, then a few dozen: the
// batches learnt from them change, the entries never do.
TEST(DeferredShuffle, LearntBatchesNeverChangeTheEntries) {
  std::mt19937 reads_of(7);
  for (const StreamPath path : all_paths()) {
    for (const std::int32_t n : {300, 2000, 50000}) {
      reference::Generator expected = testing::seeded_reference(n);
      DeviateStream stream(testing::state_of(expected), path);
      DeferredShuffle order;
      const int attempts = n > 10000 ? 160 : 600;
      for (int attempt = 0; attempt < attempts; ++attempt) {
        const int phase = 4 * attempt / attempts;  // few, many, few, a few dozen
        const std::uint32_t read = phase == 1   ? 1 + reads_of() % 200
                                   : phase == 3 ? 17 + reads_of() % 20
                                                : 1 + reads_of() % 2;
        order.draw(stream, n, -1);
        const std::vector<std::int32_t> literal = literal_shuffle(expected, n, -1);
        for (std::uint32_t i = 0; i < read; ++i) {
          ASSERT_EQ(order[i], literal[i]) << "n " << n << " attempt " << attempt << " entry " << i;
        }
      }
    }
  }
}

// Followed forward through the exchanges, on every path, a set of values ends where the
// literal permutation puts them: first_placed gives the first of them, whole groups of
// exchanges and the rest after them, narrow and wide positions alike.
TEST(DeferredShuffle, FirstPlacedIsWhereTheLiteralOrderPutsTheFirstValue) {
  std::mt19937 choices(99);
  for (const StreamPath path : all_paths()) {
    reference::Generator expected = testing::seeded_reference(2024);
    DeviateStream stream(testing::state_of(expected), path);
    DeferredShuffle order;
    for (const std::int32_t n : {1, 15, 16, 17, 33, 371, 4099, 65536, 70001}) {
      for (const std::size_t count : {0u, 1u, 2u, 3u, 5u, 8u, 9u, 16u}) {
        const std::int32_t offset = n % 3 - 1;
        order.draw(stream, n, offset);
        const std::vector<std::int32_t> literal = literal_shuffle(expected, n, offset);
        std::vector<std::size_t> place_of(static_cast<std::size_t>(n));
        for (std::size_t place = 0; place < literal.size(); ++place) {
          place_of[static_cast<std::size_t>(literal[place] - offset - 1)] = place;
        }
        std::vector<std::int32_t> values;
        DeferredShuffle::Placed first{order.size(), 0};
        for (std::size_t k = 0; k < count; ++k) {
          const std::uint32_t start = choices() % static_cast<std::uint32_t>(n);
          values.push_back(offset + 1 + static_cast<std::int32_t>(start));
          if (place_of[start] < first.place) {
            first = {place_of[start], k};
          }
        }
        const DeferredShuffle::Placed placed = order.first_placed(values);
        ASSERT_EQ(placed.place, first.place) << describe(path) << " n " << n << " " << count;
        if (count > 0) {
          EXPECT_EQ(values[placed.index], values[first.index]) << describe(path) << " n " << n;
        }
      }
    }
    EXPECT_EQ(stream.state(), testing::state_of(expected));
  }
}

TEST(DeferredShuffle, AnEmptyOrderDrawsNothing) {
  for (const StreamPath path : all_paths()) {
    DeviateStream stream(testing::state_of(testing::seeded_reference(5)), path);
    DeferredShuffle order;
    order.draw(stream, 0, 4);
    order.draw(stream, -3, 4);
    EXPECT_EQ(order.size(), 0u);
    EXPECT_EQ(stream.deviates_drawn(), 0u);
    order.draw(stream, 1, 4);
    EXPECT_EQ(order[0], 5);
    EXPECT_EQ(stream.deviates_drawn(), 2u);
  }
}

}  // namespace
}  // namespace parasim::random
