#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace parasim::random {

// The generator's multiplicative word after one step: ((w x 16807) mod 2^32) mod
// (2^31 - 1), the product cut to 32 bits before the reduction.
constexpr std::uint32_t next_multiplicative_word(std::uint32_t w) {
  return static_cast<std::uint32_t>(w * 16807u) % 2147483647u;
}

// The multiplicative word w evolves on its own: its step reads nothing of the
// xorshift words or of the model. Because of the cut to 32 bits the step is not
// one-to-one, and w runs, after a tail of steps, into one of a few short cycles
// (bench/word_cycles lists them). Once the cycle is known, w after any number n >= tail
// of steps is an entry of a table, and no step has to be taken.
class WordCycle {
 public:
  // Follows w from `start` (w after 0 steps) with Brent's cycle search. Returns nothing
  // when tail and cycle together take more than step_bound steps; the caller then
  // steps w one by one instead.
  static std::optional<WordCycle> find(std::uint32_t start, std::uint64_t step_bound,
                                       std::size_t padding);

  // Steps before w first lies on its cycle.
  std::uint64_t tail() const { return tail_; }
  // Words in the cycle.
  std::size_t length() const { return length_; }

  // w after `step` steps, for step >= tail, followed by at least `padding` (as given to
  // find) further words in step order: the table repeats the cycle's beginning.
  const std::uint32_t* words_from(std::uint64_t step) const {
    return words_.data() + (step - tail_) % length_;
  }
  std::uint32_t word_at(std::uint64_t step) const { return *words_from(step); }

 private:
  WordCycle(std::uint64_t tail, std::vector<std::uint32_t> words, std::size_t length)
      : tail_(tail), length_(length), words_(std::move(words)) {}

  std::uint64_t tail_;
  std::size_t length_;
  std::vector<std::uint32_t> words_;  // the cycle from step tail on, then its beginning again
};

}  // namespace parasim::random
