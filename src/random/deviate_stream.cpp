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

void DeviateStream::refill() {
  drawn_before_block_ += filled_;
  block_start_ = block_end_;
  cursor_ = 0;
  const std::uint64_t steps = drawn_before_block_;
  if (cycle_ == nullptr || steps < cycle_->tail()) {
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
  XorshiftWords s{block_start_.x, block_start_.y, block_start_.z};
  if (path_ == StreamPath::vector) {
    XorshiftWords lane_start[lanes];
    lane_start[0] = s;
    for (std::size_t lane = 1; lane < lanes; ++lane) {
      lane_start[lane] = stretch_jump()(lane_start[lane - 1]);
    }
    s = fill_outputs_avx2(lane_start, stretch, words, buffer_.data());
  } else {
    fill_outputs_plain(s, words, buffer_.data(), block_size);
  }
  block_end_ = {s.x, s.y, s.z, cycle_->word_at(steps + block_size)};
  filled_ = block_size;
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
