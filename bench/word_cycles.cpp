// Where the generator's multiplicative word w goes. Its step, w -> ((w x 16807) mod
// 2^32) mod (2^31 - 1), reads nothing else, and the cut to 32 bits makes it many-to-one,
// so every w runs into a cycle after a tail of steps. This walks the whole map backwards
// from every cycle (each word's predecessors are found by inverting the multiplication
// modulo 2^32), and so measures every word's tail exactly: the cycles, how many words
// drain into each, the longest tails, and the tails of the words that seeding gives
// (tick count c gives w = (c + 111) XOR 0x22222222). Every cycle lies below 2^31 - 1,
// where every step lands, so a mark for each of those words, set as the walks pass,
// shows where a cycle not yet found must be; the words are all accounted for when the
// basins add up to 2^32. Takes a few minutes and 256 MB.
//
//   parasim_word_cycles
#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "random/word_cycle.hpp"

namespace {

using parasim::random::next_multiplicative_word;
using parasim::random::WordCycle;

constexpr std::uint32_t prime = 2147483647u;
constexpr std::uint32_t seed_mask = 0x22222222u;

// The inverse of 16807 modulo 2^32, by Newton's iteration.
constexpr std::uint32_t inverse_multiplier() {
  std::uint32_t inverse = 16807u;
  for (int i = 0; i < 5; ++i) {
    inverse *= 2u - 16807u * inverse;
  }
  return inverse;
}
static_assert(16807u * inverse_multiplier() == 1u);

struct Basin {
  std::uint32_t least_word = 0;  // names the cycle
  std::size_t length = 0;
  std::uint64_t words = 0;         // words of the basin, the cycle included
  std::uint64_t longest_tail = 0;  // over every 32-bit word
  std::uint32_t longest_tail_word = 0;
  std::uint64_t longest_tail_below_prime = 0;  // over the words 0 ... 2^31 - 2
  std::uint64_t seeds = 0;                     // tick counts whose w lies in the basin
  std::uint64_t seed_tail_sum = 0;             // their tails, summed
  std::uint64_t longest_seed_tail = 0;
  std::uint32_t longest_seed_tick = 0;
};

// The tick count that seeds w, if any.
bool tick_of(std::uint32_t w, std::uint32_t& tick) {
  tick = (w ^ seed_mask) - 111u;
  return tick < 0x80000000u;
}

// Every word that drains into the cycle through `cycle_start`, by layers of equal tail;
// marks the words below 2^31 - 1 in `seen`.
Basin walk_back(std::uint32_t cycle_start, std::size_t length, std::vector<std::uint64_t>& seen) {
  Basin basin;
  basin.length = length;
  std::vector<std::uint32_t> layer;
  std::uint32_t w = cycle_start;
  basin.least_word = w;
  for (std::size_t i = 0; i < length; ++i) {
    layer.push_back(w);
    basin.least_word = std::min(basin.least_word, w);
    w = next_multiplicative_word(w);
  }
  std::vector<std::uint32_t> previous_on_cycle(length);
  std::map<std::uint32_t, std::uint32_t> on_cycle;  // word -> its predecessor on the cycle
  for (std::size_t i = 0; i < length; ++i) {
    on_cycle[layer[(i + 1) % length]] = layer[i];
  }
  std::vector<std::uint32_t> next_layer;
  for (std::uint64_t tail = 0; !layer.empty(); ++tail) {
    next_layer.clear();
    for (const std::uint32_t v : layer) {
      ++basin.words;
      basin.longest_tail = tail;
      basin.longest_tail_word = v;
      if (v < prime) {
        basin.longest_tail_below_prime = tail;
        seen[v / 64] |= std::uint64_t{1} << (v % 64);
      }
      std::uint32_t tick;
      if (tick_of(v, tick)) {
        ++basin.seeds;
        basin.seed_tail_sum += tail;
        if (tail >= basin.longest_seed_tail) {
          basin.longest_seed_tail = tail;
          basin.longest_seed_tick = tick;
        }
      }
      // Predecessors: (w x 16807) mod 2^32 is v, v + p or v + 2p (below 2^32).
      if (v >= prime) {
        continue;
      }
      for (std::uint64_t product = v; product <= 0xFFFFFFFFu; product += prime) {
        const std::uint32_t u = static_cast<std::uint32_t>(product) * inverse_multiplier();
        if (tail == 0 && on_cycle.at(v) == u) {
          continue;  // the cycle's own step into v
        }
        next_layer.push_back(u);
      }
    }
    layer.swap(next_layer);
  }
  return basin;
}

}  // namespace

int main() {
  std::vector<std::uint64_t> seen(std::size_t{1} << 25);  // one bit for each word below 2^31
  std::map<std::uint32_t, Basin> basins;                  // by the cycle's least word
  std::uint64_t accounted = 0;
  for (std::uint32_t start = 0; start < prime && accounted < (std::uint64_t{1} << 32); ++start) {
    if ((seen[start / 64] >> (start % 64)) & 1u) {
      continue;
    }
    const auto cycle = WordCycle::find(start, std::uint64_t{1} << 40, 0);
    const std::uint32_t on_cycle = cycle->word_at(cycle->tail());
    const Basin basin = walk_back(on_cycle, cycle->length(), seen);
    basins[basin.least_word] = basin;
    accounted += basin.words;
  }

  std::printf("%-12s %7s %12s %12s %12s %12s %12s %12s\n", "least word", "length", "words",
              "longest tail", "(below p)", "seeds", "mean tail", "longest seed tail");
  std::uint64_t seeds = 0, seed_tails = 0, longest_tail = 0, longest_below_prime = 0;
  std::uint64_t longest_seed_tail = 0, longest_reach = 0;
  std::uint32_t longest_seed_tick = 0;
  std::size_t cycle_words = 0;
  for (const auto& [least, b] : basins) {
    std::printf("%-12u %7zu %12llu %12llu %12llu %12llu %12.0f %12llu (tick %u)\n", least, b.length,
                static_cast<unsigned long long>(b.words),
                static_cast<unsigned long long>(b.longest_tail),
                static_cast<unsigned long long>(b.longest_tail_below_prime),
                static_cast<unsigned long long>(b.seeds),
                b.seeds ? static_cast<double>(b.seed_tail_sum) / static_cast<double>(b.seeds) : 0.0,
                static_cast<unsigned long long>(b.longest_seed_tail), b.longest_seed_tick);
    cycle_words += b.length;
    seeds += b.seeds;
    seed_tails += b.seed_tail_sum;
    longest_tail = std::max(longest_tail, b.longest_tail);
    longest_below_prime = std::max(longest_below_prime, b.longest_tail_below_prime);
    longest_reach = std::max(longest_reach, b.longest_tail + b.length);
    if (b.longest_seed_tail > longest_seed_tail) {
      longest_seed_tail = b.longest_seed_tail;
      longest_seed_tick = b.longest_seed_tick;
    }
  }
  std::printf("cycles %zu, words on cycles %zu, words accounted %llu of 4294967296%s\n",
              basins.size(), cycle_words, static_cast<unsigned long long>(accounted),
              accounted == (std::uint64_t{1} << 32) ? " (all)" : " (INCOMPLETE)");
  std::printf(
      "longest tail: %llu over all words, %llu over 0 ... 2^31 - 2; longest tail + cycle: %llu\n",
      static_cast<unsigned long long>(longest_tail),
      static_cast<unsigned long long>(longest_below_prime),
      static_cast<unsigned long long>(longest_reach));
  std::printf("seeds: %llu tick counts, mean tail %.1f, longest tail %llu (tick count %u)\n",
              static_cast<unsigned long long>(seeds),
              static_cast<double>(seed_tails) / static_cast<double>(seeds),
              static_cast<unsigned long long>(longest_seed_tail), longest_seed_tick);
  return accounted == (std::uint64_t{1} << 32) ? 0 : 1;
}
