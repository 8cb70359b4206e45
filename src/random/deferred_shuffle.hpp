#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "random/deviate_stream.hpp"

namespace parasim::random {

// The random permutation of the model: offset + 1 ... offset + n put in order by n
// exchanges of two freely chosen positions, drawing 2n deviates (u then v for each
// exchange, positions INT(n u) and INT(n v)). The draws are made at once and the
// exchange positions kept; an entry is worked out only when it is read.
//
// The mate search reads the entries of an order of the whole population one after
// another until it meets a compatible candidate, which usually comes early, so most
// of the permutation is never needed. An entry is found by tracing it back through the
// exchanges, last to first, following it whenever an exchange moves it: a pass that
// reads the positions and writes nothing, and compares a group of exchanges with the
// traced entries at once. Entries are traced in batches (the first, the second, the next two, four,
// ...) and once more are wanted the exchanges are carried out instead; which batches pay is learnt
// from how many entries the recent orders needed. Either way the entries are exactly those of the
// permutation.
class DeferredShuffle {
 public:
  // Makes room for a permutation of n entries ahead of time; throws std::bad_alloc.
  void reserve(std::size_t n);

  // Draws the exchanges of a permutation of n entries (none for n <= 0) from any
  // source of outputs.
  template <typename Source>
  void draw(Source& source, std::int32_t n, std::int32_t offset) {
    start(n, offset, VectorPath::portable);
    const auto factor = static_cast<std::uint64_t>(size_);
    for (std::size_t i = 0; i < 2 * size_; ++i) {
      const auto position = static_cast<std::uint32_t>((factor * source.next_output()) >> 32);
      if (narrow_) {
        narrow_positions_[i] = static_cast<std::uint16_t>(position);
      } else {
        wide_positions_[i] = position;
      }
    }
  }
  // The same from the stream, a block's outputs at a time.
  void draw(DeviateStream& stream, std::int32_t n, std::int32_t offset);

  std::size_t size() const { return size_; }

  // Entry i (0-based, i < size()).
  std::int32_t operator[](std::size_t i) {
    if (i >= read_) {
      read_ = i + 1;
    }
    return i < resolved_ ? entries_[i] : resolve();
  }

  // All entries.
  std::span<const std::int32_t> entries();

  // The leading entries worked out so far, which can be read without any work.
  std::span<const std::int32_t> known_entries() const { return {entries_.data(), resolved_}; }

  // Where the first of some values stands in the order: each value is followed forward
  // through the exchanges from where it starts (value - offset - 1) to where it ends.
  // Returns the smallest of these final places and the index in `values` of the value
  // that ends there; place size() when `values` is empty.
  struct Placed {
    std::size_t place;
    std::size_t index;
  };
  Placed first_placed(std::span<const std::int32_t> values);

  // Whether following `count` values forward costs less than carrying out the exchanges.
  bool follows_cheaply(std::size_t count) const;

  // Orders of at most this many entries keep their positions in 16 bits.
  static constexpr std::size_t narrow_limit = 65536;

 private:
  // The ends of the batches entries are traced in, at most 16 at a time.
  static constexpr std::size_t batch_ends[] = {1, 2, 4, 8, 16, 32};
  static constexpr std::size_t batch_count = sizeof batch_ends / sizeof batch_ends[0];
  // Where a plan may stand: nothing known yet, or a batch end reached.
  static constexpr std::size_t plan_size = batch_count + 1;
  static constexpr std::size_t end_at(std::size_t step) {
    return step == 0 ? 0 : batch_ends[step - 1];
  }
  // Orders between two plans.
  static constexpr std::uint32_t orders_per_plan = 32;

  void start(std::int32_t n, std::int32_t offset, VectorPath vectors);
  void learn_reads();
  // Chooses, for each batch end, where to trace to next or to carry out the exchanges.
  void plan();
  std::int32_t resolve();
  // Entries [resolved_, end) by tracing them back, at most 16 in one pass.
  void trace(std::size_t end);
  // All entries by carrying out the exchanges.
  void permute();

  std::size_t size_ = 0;
  std::int32_t offset_ = 0;
  bool narrow_ = true;
  VectorPath vectors_ = VectorPath::portable;    // of the traces
  std::size_t resolved_ = 0;                     // entries [0, resolved_) are known
  std::size_t read_ = 0;                         // entries [0, read_) have been asked for
  std::vector<std::uint16_t> narrow_positions_;  // 2 per exchange, in draw order
  std::vector<std::uint32_t> wide_positions_;    // the same, for larger orders
  std::vector<std::int32_t> entries_;
  // How many recent orders needed more than 0, batch_ends[0], batch_ends[1], ...
  // entries; halved now and then so that the counts follow the run.
  double needed_more_than_[plan_size] = {};
  std::uint32_t orders_since_halving_ = 0;
  // The plan: from the batch end at step i, trace to the one at step next_end_[i], or carry
  // out the exchanges (plan_size).
  std::size_t next_end_[plan_size] = {};
  std::size_t planned_size_ = 0;
  VectorPath planned_vectors_ = VectorPath::portable;
  std::uint32_t orders_since_plan_ = 0;
};

}  // namespace parasim::random
