#include "random/deviate_stream.hpp"

#include <cstdlib>
#include <cstring>

#include "random/block_fill.hpp"
#include "random/output_kernels.hpp"
#include "random/xorshift_jump.hpp"

namespace parasim::random {

namespace {

constexpr std::size_t stretch = DeviateStream::block_size / DeviateStream::lanes;

const XorshiftJump& stretch_jump() {
  static const XorshiftJump jump(stretch);
  return jump;
}

StreamPath path_from_environment() {
  const char* forced = std::getenv("PARASIM_STREAM");
  if (forced != nullptr && std::strcmp(forced, "sequential") == 0) {
    return StreamPath::sequential;
  }
  if ((forced != nullptr && std::strcmp(forced, "plain") == 0) || !avx2_available()) {
    return StreamPath::plain;
  }
  return StreamPath::vector;
}

}  // namespace

StreamPath default_stream_path() {
  static const StreamPath path = path_from_environment();
  return path;
}

DeviateStream::DeviateStream(const Generator::State& start, StreamPath path)
    : path_(path), block_start_(start), block_end_(start) {
  if (path_ == StreamPath::vector && !avx2_available()) {
    path_ = StreamPath::plain;
  }
  if (path_ != StreamPath::sequential) {
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

void DeviateStream::start_lanes(XorshiftWords (&lane_start)[lanes]) const {
  lane_start[0] = {block_start_.x, block_start_.y, block_start_.z};
  for (std::size_t lane = 1; lane < lanes; ++lane) {
    lane_start[lane] = stretch_jump()(lane_start[lane - 1]);
  }
}

void DeviateStream::end_block_on_cycle(const XorshiftWords& end) {
  block_end_ = {end.x, end.y, end.z, cycle_->word_at(drawn_before_block_ + block_size)};
  filled_ = block_size;
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
  const std::uint32_t* words = cycle_->words_from(steps + 1);
  if (path_ == StreamPath::vector) {
    XorshiftWords lane_start[lanes];
    start_lanes(lane_start);
    end_block_on_cycle(fill_outputs_avx2(lane_start, stretch, words, buffer_.data()));
  } else {
    XorshiftWords s{block_start_.x, block_start_.y, block_start_.z};
    fill_outputs_plain(s, words, buffer_.data(), block_size);
    end_block_on_cycle(s);
  }
}

template <typename Position>
void DeviateStream::draw_positions(std::uint32_t n, std::size_t count, Position* positions) {
  std::size_t done = 0;
  while (done < count) {
    if (path_ == StreamPath::vector && cursor_ == filled_ && count - done >= block_size &&
        next_block_on_cycle()) {
      close_block();
      XorshiftWords lane_start[lanes];
      start_lanes(lane_start);
      end_block_on_cycle(fill_positions_avx2(
          lane_start, stretch, cycle_->words_from(drawn_before_block_ + 1), n, positions + done));
      // The block's outputs are drawn; none is left in the stream's own block.
      close_block();
      done += block_size;
      continue;
    }
    const std::span<const std::uint32_t> outputs = next_outputs(count - done);
    if constexpr (sizeof(Position) == 2) {
      if (path_ == StreamPath::vector) {
        narrow_positions_avx2(outputs.data(), outputs.size(), n, positions + done);
      } else {
        narrow_positions_plain(outputs.data(), outputs.size(), n, positions + done);
      }
    } else {
      if (path_ == StreamPath::vector) {
        positions_avx2(outputs.data(), outputs.size(), n, positions + done);
      } else {
        positions_plain(outputs.data(), outputs.size(), n, positions + done);
      }
    }
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
    const std::uint64_t part =
        path_ == StreamPath::vector
            ? event_bits_avx2(outputs.data(), outputs.size(), threshold.limit())
            : event_bits_plain(outputs.data(), outputs.size(), threshold.limit());
    bits |= part << done;
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
