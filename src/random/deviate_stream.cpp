#include "random/deviate_stream.hpp"

#include <cassert>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "random/block_fill.hpp"
#include "random/output_kernels.hpp"
#include "random/xorshift_jump.hpp"

namespace parasim::random {

namespace {

// The jump from one lane's stretch of a block to the next, for the lanes of each path.
const XorshiftJump& stretch_jump(VectorPath path) {
  static const std::vector<XorshiftJump> jumps = [] {
    std::vector<XorshiftJump> by_path;
    for (const VectorPath each : all_vector_paths) {
      by_path.emplace_back(DeviateStream::block_size / block_lanes(each));
    }
    return by_path;
  }();
  return jumps[static_cast<std::size_t>(path)];
}

// Values of the stream's switch that chose the vector path before it had a switch of its
// own, and what sets them now.
constexpr std::pair<std::string_view, std::string_view> replaced_fills[] = {
    {"plain", "PARASIM_VECTORS=portable"},
    {"vector", "PARASIM_VECTORS=auto"},
};

}  // namespace

StreamFill choose_stream_fill(const char* value) {
  if (value == nullptr || *value == '\0' || std::string_view(value) == "blocks") {
    return StreamFill::blocks;
  }
  if (std::string_view(value) == "sequential") {
    return StreamFill::sequential;
  }
  for (const auto& [old_value, replacement] : replaced_fills) {
    if (old_value == value) {
      throw SwitchRefused(stream_switch, value, SwitchRefused::Reason::replaced,
                          "blocks, sequential", std::string(replacement));
    }
  }
  throw SwitchRefused(stream_switch, value, SwitchRefused::Reason::unknown_value,
                      "blocks, sequential");
}

StreamPath default_stream_path() {
  static const ChosenOnce<StreamFill> fill(
      [] { return choose_stream_fill(std::getenv(stream_switch)); });
  return {fill.get(), vector_path()};
}

DeviateStream::DeviateStream(const Generator::State& start, StreamPath path)
    : path_(path), block_start_(start), block_end_(start) {
  assert(processor_paths().has(path_.vectors));
  if (path_.fill == StreamFill::blocks) {
    if (auto found = WordCycle::find(start.w, cycle_search_bound, block_size)) {
      cycle_ = std::make_shared<const WordCycle>(std::move(*found));
    }
  }
}

void DeviateStream::close_block() {
  drawn_before_block_ += filled_;
  block_start_ = block_end_;
  cursor_ = 0;
  filled_ = 0;
}

bool DeviateStream::next_block_on_cycle() const {
  return cycle_ != nullptr && drawn_before_block_ + filled_ >= cycle_->tail();
}

std::span<const XorshiftWords> DeviateStream::start_lanes() {
  const std::size_t lanes = block_lanes(path_.vectors);
  if (!next_lanes_ready_ || next_lanes_at_ != drawn_before_block_) {
    lanes_[0] = {block_start_.x, block_start_.y, block_start_.z};
    for (std::size_t lane = 1; lane < lanes; ++lane) {
      lanes_[lane] = stretch_jump(path_.vectors)(lanes_[lane - 1]);
    }
  }
  return std::span<const XorshiftWords>(lanes_).first(lanes);
}

void DeviateStream::end_block_on_cycle(const XorshiftWords& end) {
  block_end_ = {end.x, end.y, end.z, cycle_->word_at(drawn_before_block_ + block_size)};
  filled_ = block_size;
  // The next block's lanes start a block after this one's: one jump for all of them, the
  // lanes independent of one another, instead of a chain of jumps from the next start.
  const std::size_t lanes = block_lanes(path_.vectors);
  if (lanes == 1) {
    lanes_[0] = end;
  } else {
    static const XorshiftJump block_jump(block_size);
    block_jump.advance(std::span<XorshiftWords>(lanes_).first(lanes), path_.vectors);
  }
  next_lanes_at_ = drawn_before_block_ + block_size;
  next_lanes_ready_ = true;
}

void DeviateStream::refill() {
  const bool on_cycle = next_block_on_cycle();
  close_block();
  const std::uint64_t steps = drawn_before_block_;
  if (!on_cycle) {
    // Step by step: without a cycle, and before w has reached it, up to the step where
    // it does, so that every later block starts on the cycle.
    std::size_t count = block_size;
    if (cycle_ != nullptr) {
      count = static_cast<std::size_t>(std::min<std::uint64_t>(block_size, cycle_->tail() - steps));
    }
    Generator generator(block_start_);
    for (std::size_t i = 0; i < count; ++i) {
      buffer_[i] = generator.next_output();
    }
    block_end_ = generator.state();
    filled_ = count;
    return;
  }
  // The outputs are steps + 1 ... steps + block_size.
  end_block_on_cycle(fill_outputs(path_.vectors, start_lanes(),
                                  block_size / block_lanes(path_.vectors),
                                  cycle_->words_from(steps + 1), buffer_.data()));
}

template <typename Position>
void DeviateStream::draw_positions(std::uint32_t n, std::size_t count, Position* positions) {
  std::size_t done = 0;
  while (done < count) {
    if (cursor_ == filled_ && count - done >= block_size && next_block_on_cycle()) {
      close_block();
      end_block_on_cycle(
          fill_positions(path_.vectors, start_lanes(), block_size / block_lanes(path_.vectors),
                         cycle_->words_from(drawn_before_block_ + 1), n, positions + done));
      // The block's outputs are drawn; none is left in the stream's own block.
      close_block();
      done += block_size;
      continue;
    }
    const std::span<const std::uint32_t> outputs = next_outputs(count - done);
    random::positions(path_.vectors, outputs.data(), outputs.size(), n, positions + done);
    done += outputs.size();
  }
}

void DeviateStream::next_positions(std::uint32_t n, std::size_t count, std::uint16_t* positions) {
  draw_positions(n, count, positions);
}

void DeviateStream::next_positions(std::uint32_t n, std::size_t count, std::uint32_t* positions) {
  draw_positions(n, count, positions);
}

std::uint64_t DeviateStream::next_events(std::size_t count, const EventThreshold& threshold) {
  std::uint64_t bits = 0;
  std::size_t done = 0;
  while (done < count) {
    const std::span<const std::uint32_t> outputs = next_outputs(count - done);
    bits |= event_bits(path_.vectors, outputs.data(), outputs.size(), threshold.limit()) << done;
    done += outputs.size();
  }
  return bits;
}

Generator::State DeviateStream::state() const {
  Generator generator(block_start_);
  for (std::size_t i = 0; i < cursor_; ++i) {
    generator.next_output();
  }
  return generator.state();
}

}  // namespace parasim::random
