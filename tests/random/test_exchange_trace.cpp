#include "random/exchange_trace.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace parasim::random {
namespace {

// Exchanges of a permutation of `size` places, made to put followed places in the same
// group of exchanges again and again.
struct ExchangeCase {
  std::string name;
  std::uint32_t size;
  std::vector<std::uint32_t> positions;  // 2 per exchange
};

std::vector<std::uint32_t> drawn_positions(std::uint32_t size, std::size_t exchanges,
                                           std::uint32_t seed) {
  std::mt19937 draw(seed);
  std::vector<std::uint32_t> positions(2 * exchanges);
  for (std::uint32_t& position : positions) {
    position = static_cast<std::uint32_t>(draw() % size);
  }
  return positions;
}

std::vector<ExchangeCase> exchange_cases() {
  std::vector<ExchangeCase> cases;
  // Place 0 handed round three places, so that every exchange moves a followed place.
  std::vector<std::uint32_t> round;
  for (std::uint32_t t = 0; t < 70; ++t) {
    round.push_back(t % 3);
    round.push_back((t + 1) % 3);
  }
  cases.push_back({"handed round", 3, round});
  // Exchanges of a place with itself between exchanges that move it.
  std::vector<std::uint32_t> itself;
  for (std::uint32_t t = 0; t < 64; ++t) {
    itself.push_back(t % 4 == 0 ? 2 : t % 5);
    itself.push_back(t % 4 == 0 ? 2 : (t * 3) % 5);
  }
  cases.push_back({"with itself", 5, itself});
  for (const std::size_t exchanges : {15, 16, 17, 33, 200}) {
    cases.push_back({"few places, " + std::to_string(exchanges) + " exchanges", 6,
                     drawn_positions(6, exchanges, static_cast<std::uint32_t>(exchanges))});
  }
  cases.push_back({"many places", 3000, drawn_positions(3000, 3000, 9)});
  return cases;
}

// Where each place is after the exchanges, carried out one by one: entries[p] is the place
// the entry at p started from.
std::vector<std::uint32_t> carried_out(const ExchangeCase& c) {
  std::vector<std::uint32_t> entries(c.size);
  std::iota(entries.begin(), entries.end(), 0u);
  for (std::size_t t = 0; 2 * t < c.positions.size(); ++t) {
    std::swap(entries[c.positions[2 * t]], entries[c.positions[2 * t + 1]]);
  }
  return entries;
}

template <typename Position>
void expect_followed_as_carried_out(const ExchangeCase& c, VectorPath path) {
  const std::vector<Position> positions(c.positions.begin(), c.positions.end());
  const std::vector<std::uint32_t> entries = carried_out(c);
  const std::size_t exchanges = positions.size() / 2;
  for (std::size_t count = 1; count <= 16; ++count) {
    std::uint32_t back[16];
    std::uint32_t forward[16];
    for (std::size_t e = 0; e < count; ++e) {
      back[e] = forward[e] = static_cast<std::uint32_t>(e % c.size);
    }
    follow_exchanges(positions.data(), exchanges, Direction::back, back, count, path);
    follow_exchanges(positions.data(), exchanges, Direction::forward, forward, count, path);
    for (std::size_t e = 0; e < count; ++e) {
      const auto place = static_cast<std::uint32_t>(e % c.size);
      const std::string what = c.name + " on " + std::string(vector_path_name(path)) + ", " +
                               std::to_string(sizeof(Position) * 8) + "-bit, place " +
                               std::to_string(place) + " of " + std::to_string(count);
      EXPECT_EQ(back[e], entries[place]) << what;
      EXPECT_EQ(entries[forward[e]], place) << what;
    }
  }
}

TEST(ExchangeTrace, EveryPathFollowsPlacesAsTheExchangesCarriedOutMoveThem) {
  for (const ExchangeCase& c : exchange_cases()) {
    for (const VectorPath path : all_vector_paths) {
      if (processor_paths().has(path)) {
        expect_followed_as_carried_out<std::uint16_t>(c, path);
        expect_followed_as_carried_out<std::uint32_t>(c, path);
      }
    }
  }
}

}  // namespace
}  // namespace parasim::random
