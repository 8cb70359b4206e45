#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "random/block_fill.hpp"
#include "random/event_threshold.hpp"
#include "random/generator.hpp"
#include "random/vector_paths.hpp"
#include "random/word_cycle.hpp"
#include "random/xorshift_jump.hpp"

namespace parasim::random {

// Where a DeviateStream's outputs come from. Both give the same outputs.
enum class StreamFill {
  blocks,      // the xorshift words a block at a time, in the lanes of the vector path, w
               // from the table of its cycle
  sequential,  // the generator itself, one step after another
};

// How a DeviateStream is made: where its outputs come from, and the vector path of its
// kernels (the blocks' lanes, exchange positions, event bits, and the traces of the
// orders drawn from it).
struct StreamPath {
  StreamFill fill = StreamFill::blocks;
  VectorPath vectors = VectorPath::portable;
  friend bool operator==(const StreamPath&, const StreamPath&) = default;
};

// The stream's own environment switch: unset, empty or "blocks" for blocks, "sequential"
// for the generator itself (to compare what the blocks and orders cost).
inline constexpr const char* stream_switch = "PARASIM_STREAM";

// The fill a value of the switch asks for (null: unset); throws SwitchRefused.
StreamFill choose_stream_fill(const char* value);

// The path of this process: the fill of the stream's switch on the process's vector path
// (vector_path()), chosen once. Throws SwitchRefused while either switch is refused.
StreamPath default_stream_path();

// The run's one stream of uniform deviates, the same outputs as the generator drawn
// one by one, made a block at a time ahead of the model and read at a cursor.
//
// Drawing one deviate after another is bound by the chain of dependent operations of
// the multiplicative word w (a multiplication and a reduction per step). But w does not
// depend on anything else, and after a tail of at most 91,965 steps it goes round one
// of 13 short cycles, so the stream looks it up in a table of that cycle instead (the tail
// itself is drawn by the generator). The xorshift words are linear over GF(2): a jump
// matrix starts the lanes of the vector path (eight for avx2) at consecutive stretches of
// a block, and the vector unit steps them together.
//
// The stream's state between two draws is the generator's state after the deviates
// drawn so far, which state() recovers, for checkpoints.
class DeviateStream {
 public:
  static constexpr std::size_t block_size = 4096;
  // w is followed for at most this many steps looking for its cycle (no word has a
  // tail longer than 91,965 steps or a cycle longer than 21,729, bench/word_cycles);
  // without a cycle in that reach the generator draws the whole stream step by step.
  static constexpr std::uint64_t cycle_search_bound = std::uint64_t{1} << 22;

  // The stream that continues from the generator state `start`, on a path this processor
  // runs.
  explicit DeviateStream(const Generator::State& start, StreamPath path = default_stream_path());

  // One step; returns the 32-bit output k.
  std::uint32_t next_output() {
    if (cursor_ == filled_) [[unlikely]] {
      refill();
    }
    return buffer_[cursor_++];
  }

  // k / 2^32, exactly.
  double uniform_deviate() { return static_cast<double>(next_output()) * 0x1p-32; }

  // INT(n x u) for the next deviate u, 0-based (n >= 1), formed exactly.
  std::uint32_t next_index(std::uint32_t n) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(n) * next_output()) >> 32);
  }

  // The next outputs, at least one and at most `most` (most >= 1), in draw order: as
  // many as the current block still holds.
  std::span<const std::uint32_t> next_outputs(std::size_t most) {
    if (cursor_ == filled_) {
      refill();
    }
    const std::size_t count = std::min(most, filled_ - cursor_);
    const std::span<const std::uint32_t> outputs(buffer_.data() + cursor_, count);
    cursor_ += count;
    return outputs;
  }

  // The outcomes of the next `count` (<= 64) events of one probability: bit i for the
  // i-th draw.
  std::uint64_t next_events(std::size_t count, const EventThreshold& threshold);

  // The choices INT(n x u) of one of n items for the next `count` deviates u, in draw
  // order: in 16 bits for n <= 65536, otherwise in 32. Whole blocks go straight into
  // `positions` without passing through the stream's own block.
  void next_positions(std::uint32_t n, std::size_t count, std::uint16_t* positions);
  void next_positions(std::uint32_t n, std::size_t count, std::uint32_t* positions);

  // The generator's state after the deviates drawn so far.
  Generator::State state() const;

  // Deviates drawn since the stream was made.
  std::uint64_t deviates_drawn() const { return drawn_before_block_ + cursor_; }

  StreamPath path() const { return path_; }
  // The cycle of w, or none when the search gave up or the path is sequential.
  const WordCycle* cycle() const { return cycle_.get(); }

 private:
  void refill();
  // Closes the current block; the next is drawn from where it ended.
  void close_block();
  // Whether the next block starts where w is on its cycle, so that w comes from the
  // cycle's table.
  bool next_block_on_cycle() const;
  // The words of the lanes of the block about to be made, each a stretch further on.
  std::span<const XorshiftWords> start_lanes();
  // Records that a block has been drawn with w from the table from the lanes start_lanes
  // gave, ending at `end`.
  void end_block_on_cycle(const XorshiftWords& end);
  template <typename Position>
  void draw_positions(std::uint32_t n, std::size_t count, Position* positions);

  StreamPath path_;
  std::shared_ptr<const WordCycle> cycle_;
  Generator::State block_start_;  // the state before buffer_[0] was drawn
  Generator::State block_end_;    // the state after buffer_[filled_ - 1]
  std::uint64_t drawn_before_block_ = 0;
  std::size_t cursor_ = 0;
  std::size_t filled_ = 0;
  // The lanes of a block: those of the block last made, then, advanced a block all at once,
  // those of the block after it, which starts after next_lanes_at_ deviates. The first
  // block on the cycle has its lanes jumped to one after another from its start.
  std::array<XorshiftWords, most_block_lanes> lanes_;
  std::uint64_t next_lanes_at_ = 0;
  bool next_lanes_ready_ = false;
  alignas(32) std::array<std::uint32_t, block_size> buffer_;
};

// The outcomes of the next `count` (<= 64) events of one probability, bit i for the
// i-th draw, from any source of outputs; the stream compares a block's outputs at once.
template <typename Source>
std::uint64_t next_events(Source& source, std::size_t count, const EventThreshold& threshold) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < count; ++i) {
    bits |= static_cast<std::uint64_t>(threshold.happens(source.next_output())) << i;
  }
  return bits;
}

inline std::uint64_t next_events(DeviateStream& stream, std::size_t count,
                                 const EventThreshold& threshold) {
  return stream.next_events(count, threshold);
}

}  // namespace parasim::random
