#include "random/deferred_shuffle.hpp"

#include <algorithm>
#include <utility>

#include "random/exchange_trace.hpp"

namespace parasim::random {

namespace {

template <typename Position>
void permute_plain(const Position* positions, std::size_t exchanges, std::int32_t* entries) {
  for (std::size_t t = 0; t < exchanges; ++t) {
    std::swap(entries[positions[2 * t]], entries[positions[2 * t + 1]]);
  }
}

// What the passes over the exchanges of an order of n entries cost, in nanoseconds per
// exchange, as bench_deviate_stream measures them: carrying the exchanges out, and
// tracing `count` entries back. A grouped trace costs a comparison per entry and group,
// and more the more often an entry's position turns up in a group, that is the more
// entries and the fewer positions there are.
double permute_cost(std::size_t n) {
  return 0.75 + 1e-5 * static_cast<double>(n);
}

double trace_cost(std::size_t count, std::size_t n, VectorPath vectors, bool narrow) {
  const auto entries = static_cast<double>(count);
  switch (vectors) {
    case VectorPath::portable:
      break;
    case VectorPath::avx2:
    case VectorPath::avx512: {
      // Places are compared in groups of 1, 2, 4, 8 or 16. The avx512 path compares a group
      // of exchanges twice as long at about the same cost per place and exchange (the
      // comparisons into masks share one port), and a group that holds a followed place
      // costs less there (the group is compared again instead of passed exchange by exchange).
      const double compared = count <= 2 ? entries : count <= 4 ? 4 : count <= 8 ? 8 : 16;
      const double per_place = narrow ? 0.02 : 0.04;
      const double per_hit = vectors == VectorPath::avx512 ? 15.0 : 67.0;
      return 2 * per_place + per_place * compared + per_hit * entries / static_cast<double>(n);
    }
  }
  return 0.55 * entries;
}

}  // namespace

void DeferredShuffle::reserve(std::size_t n) {
  if (n <= narrow_limit) {
    narrow_positions_.reserve(2 * n);
  } else {
    wide_positions_.reserve(2 * n);
  }
  entries_.reserve(n);
}

void DeferredShuffle::start(std::int32_t n, std::int32_t offset, VectorPath vectors) {
  learn_reads();
  size_ = n > 0 ? static_cast<std::size_t>(n) : 0;
  offset_ = offset;
  narrow_ = size_ <= narrow_limit;
  vectors_ = vectors;
  resolved_ = 0;
  read_ = 0;
  if (narrow_ && narrow_positions_.size() < 2 * size_) {
    narrow_positions_.resize(2 * size_);
  }
  if (!narrow_ && wide_positions_.size() < 2 * size_) {
    wide_positions_.resize(2 * size_);
  }
  if (entries_.size() < size_) {
    entries_.resize(size_);
  }
}

void DeferredShuffle::learn_reads() {
  if (size_ == 0) {
    return;
  }
  needed_more_than_[0] += read_ > 0 ? 1.0 : 0.0;
  for (std::size_t b = 0; b < batch_count; ++b) {
    needed_more_than_[b + 1] += read_ > batch_ends[b] ? 1.0 : 0.0;
  }
  ++orders_since_plan_;
  if (++orders_since_halving_ == 256) {
    orders_since_halving_ = 0;
    for (double& count : needed_more_than_) {
      count /= 2;
    }
  }
}

void DeferredShuffle::draw(DeviateStream& stream, std::int32_t n, std::int32_t offset) {
  start(n, offset, stream.path().vectors);
  const auto factor = static_cast<std::uint32_t>(size_);
  if (narrow_) {
    stream.next_positions(factor, 2 * size_, narrow_positions_.data());
  } else {
    stream.next_positions(factor, 2 * size_, wide_positions_.data());
  }
}

std::span<const std::int32_t> DeferredShuffle::entries() {
  read_ = size_;
  if (resolved_ < size_) {
    permute();
  }
  return {entries_.data(), size_};
}

void DeferredShuffle::plan() {
  // The expected cost of the rest of an order, given that more than a batch end's entries
  // are wanted: carry out the exchanges, or trace up to a later batch end and go on from
  // there, with the chance that more are wanted still learnt from recent orders.
  double expected[plan_size];
  for (std::size_t from = plan_size; from-- > 0;) {
    expected[from] = permute_cost(size_);
    next_end_[from] = plan_size;  // carry out the exchanges
    for (std::size_t to = from + 1; to < plan_size && end_at(to) - end_at(from) <= 16; ++to) {
      const double more =
          needed_more_than_[from] > 0 ? needed_more_than_[to] / needed_more_than_[from] : 0.5;
      const double cost =
          trace_cost(end_at(to) - end_at(from), size_, vectors_, narrow_) + more * expected[to];
      if (cost < expected[from]) {
        expected[from] = cost;
        next_end_[from] = to;
      }
    }
  }
  planned_size_ = size_;
  planned_vectors_ = vectors_;
  orders_since_plan_ = 0;
}

std::int32_t DeferredShuffle::resolve() {
  // Entries [0, resolved_) are known and at least [0, read_) are wanted. The plan changes
  // slowly; it is made again for another size, or after some orders.
  if (planned_size_ != size_ || planned_vectors_ != vectors_ ||
      orders_since_plan_ >= orders_per_plan) {
    plan();
  }
  std::size_t from = 0;
  while (from + 1 < plan_size && end_at(from + 1) <= resolved_) {
    ++from;
  }
  const std::size_t to = next_end_[from];
  if (end_at(from) == resolved_ && size_ >= 64 && to < plan_size && read_ <= end_at(to)) {
    trace(end_at(to));
  } else {
    permute();
  }
  return entries_[read_ - 1];
}

DeferredShuffle::Placed DeferredShuffle::first_placed(std::span<const std::int32_t> values) {
  Placed first{size_, 0};
  for (std::size_t done = 0; done < values.size(); done += 16) {
    const std::size_t count = std::min<std::size_t>(16, values.size() - done);
    std::uint32_t at[16];
    for (std::size_t e = 0; e < count; ++e) {
      at[e] = static_cast<std::uint32_t>(values[done + e] - offset_ - 1);
    }
    if (narrow_) {
      follow_exchanges(narrow_positions_.data(), size_, Direction::forward, at, count, vectors_);
    } else {
      follow_exchanges(wide_positions_.data(), size_, Direction::forward, at, count, vectors_);
    }
    for (std::size_t e = 0; e < count; ++e) {
      if (at[e] < first.place) {
        first = {at[e], done + e};
      }
    }
  }
  return first;
}

bool DeferredShuffle::follows_cheaply(std::size_t count) const {
  return count <= 16 && trace_cost(count, size_, vectors_, narrow_) < permute_cost(size_);
}

void DeferredShuffle::trace(std::size_t end) {
  // At most 16 entries are followed in one pass.
  for (; resolved_ < end; resolved_ = std::min(end, resolved_ + 16)) {
    std::uint32_t at[16];
    const std::size_t count = std::min<std::size_t>(16, end - resolved_);
    for (std::size_t e = 0; e < count; ++e) {
      at[e] = static_cast<std::uint32_t>(resolved_ + e);
    }
    if (narrow_) {
      follow_exchanges(narrow_positions_.data(), size_, Direction::back, at, count, vectors_);
    } else {
      follow_exchanges(wide_positions_.data(), size_, Direction::back, at, count, vectors_);
    }
    for (std::size_t e = 0; e < count; ++e) {
      entries_[resolved_ + e] = offset_ + 1 + static_cast<std::int32_t>(at[e]);
    }
  }
}

void DeferredShuffle::permute() {
  std::int32_t* entries = entries_.data();
  for (std::size_t i = 0; i < size_; ++i) {
    entries[i] = offset_ + 1 + static_cast<std::int32_t>(i);
  }
  if (narrow_) {
    permute_plain(narrow_positions_.data(), size_, entries);
  } else {
    permute_plain(wide_positions_.data(), size_, entries);
  }
  resolved_ = size_;
}

}  // namespace parasim::random
