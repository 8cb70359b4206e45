#include "random/word_cycle.hpp"

namespace parasim::random {

std::optional<WordCycle> WordCycle::find(std::uint32_t start, std::uint64_t step_bound,
                                         std::size_t padding) {
  // Brent: the tortoise waits at powers of two while the hare runs ahead; they meet
  // once the hare has gone round the cycle, and the hare's run since the tortoise last
  // moved is the cycle's length.
  std::uint64_t power = 1;
  std::uint64_t length = 1;
  std::uint32_t tortoise = start;
  std::uint32_t hare = next_multiplicative_word(start);
  std::uint64_t steps = 1;
  while (tortoise != hare) {
    if (steps >= step_bound) {
      return std::nullopt;
    }
    if (power == length) {
      tortoise = hare;
      power *= 2;
      length = 0;
    }
    hare = next_multiplicative_word(hare);
    ++length;
    ++steps;
  }
  // The tail: two walkers `length` steps apart meet where the cycle begins.
  tortoise = start;
  hare = start;
  for (std::uint64_t i = 0; i < length; ++i) {
    hare = next_multiplicative_word(hare);
  }
  std::uint64_t tail = 0;
  while (tortoise != hare) {
    tortoise = next_multiplicative_word(tortoise);
    hare = next_multiplicative_word(hare);
    ++tail;
  }
  std::vector<std::uint32_t> words(static_cast<std::size_t>(length) + padding);
  std::uint32_t w = tortoise;
  for (std::size_t i = 0; i < static_cast<std::size_t>(length); ++i) {
    words[i] = w;
    w = next_multiplicative_word(w);
  }
  for (std::size_t i = static_cast<std::size_t>(length); i < words.size(); ++i) {
    words[i] = words[i - static_cast<std::size_t>(length)];
  }
  return WordCycle(tail, std::move(words), static_cast<std::size_t>(length));
}

}  // namespace parasim::random
