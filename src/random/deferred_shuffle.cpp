#include "random/deferred_shuffle.hpp"

#include <algorithm>
#include <utility>


#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace parasim::random {

namespace {

// Follows a traced entry back through one exchange of positions j and k. An exchange
// rarely holds the entry's position, and a branch keeps the comparisons of successive
// exchanges independent of each other.
inline void follow(std::uint32_t& at, std::uint32_t j, std::uint32_t k) {
  if (at == j || at == k) [[unlikely]] {
    at = j ^ k ^ at;
  }
}

// Traces the entries at[0 .. count) back through the exchanges, last first, one
// exchange after another.
template <typename Position>
void trace_plain(const Position* positions, std::size_t exchanges, std::uint32_t* at,
                 std::size_t count) {
  for (std::size_t e = 0; e < count; ++e) {
    std::uint32_t entry = at[e];
    for (std::size_t t = exchanges; t != 0; --t) {
      follow(entry, positions[2 * t - 2], positions[2 * t - 1]);
    }
    at[e] = entry;
  }
}

#if defined(__x86_64__)

// Where an AVX2 register of exchange positions holds 16 narrow or 8 wide positions.
template <typename Position>
struct Lanes;

template <>
struct Lanes<std::uint16_t> {
  static constexpr std::size_t exchanges = 8;
  __attribute__((target("avx2"))) static __m256i broadcast(std::uint32_t at) {
    return _mm256_set1_epi16(static_cast<short>(at));
  }
  __attribute__((target("avx2"))) static __m256i equal(__m256i a, __m256i b) {
    return _mm256_cmpeq_epi16(a, b);
  }
};

template <>
struct Lanes<std::uint32_t> {
  static constexpr std::size_t exchanges = 4;
  __attribute__((target("avx2"))) static __m256i broadcast(std::uint32_t at) {
    return _mm256_set1_epi32(static_cast<int>(at));
  }
  __attribute__((target("avx2"))) static __m256i equal(__m256i a, __m256i b) {
    return _mm256_cmpeq_epi32(a, b);
  }
};

// Follows an entry at position `at` back through a group of exchanges: the last
// exchange of the group that holds its position moves it to the exchange's other
// position, then the last earlier one that holds the new position, and so on.
template <typename Position>
__attribute__((target("avx2"))) std::uint32_t follow_group(__m256i group,
                                                          const Position* group_positions,
                                                          std::uint32_t at) {
  constexpr unsigned bytes = sizeof(Position);
  std::uint32_t earlier = ~std::uint32_t{0};  // the bytes of the exchanges still ahead
  for (;;) {
    const auto hits = static_cast<std::uint32_t>(
                          _mm256_movemask_epi8(Lanes<Position>::equal(group, Lanes<Position>::broadcast(at)))) &
                      earlier;
    if (hits == 0) {
      return at;
    }
    const unsigned lane = static_cast<unsigned>(31 - __builtin_clz(hits)) / bytes;
    at = group_positions[lane ^ 1u];
    earlier = (std::uint32_t{1} << ((lane & ~1u) * bytes)) - 1;
  }
}

// Traces the entries at[0 .. Count) back through the exchanges with a group of
// exchanges compared with every traced entry at once: an entry moves only in the rare
// group that holds its position.
template <std::size_t Count, typename Position>
__attribute__((target("avx2"))) void trace_grouped(const Position* positions,
                                                   std::size_t exchanges, std::uint32_t* at) {
  using L = Lanes<Position>;
  std::size_t t = exchanges;
  for (; t % L::exchanges != 0; --t) {
    for (std::size_t e = 0; e < Count; ++e) {
      follow(at[e], positions[2 * t - 2], positions[2 * t - 1]);
    }
  }
  __m256i tracked[Count];
  for (std::size_t e = 0; e < Count; ++e) {
    tracked[e] = L::broadcast(at[e]);
  }
  for (; t != 0; t -= L::exchanges) {
    const Position* group_positions = positions + 2 * (t - L::exchanges);
    const __m256i group = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group_positions));
    __m256i hits = L::equal(group, tracked[0]);
    for (std::size_t e = 1; e < Count; ++e) {
      hits = _mm256_or_si256(hits, L::equal(group, tracked[e]));
    }
    if (!_mm256_testz_si256(hits, hits)) [[unlikely]] {
      for (std::size_t e = 0; e < Count; ++e) {
        const std::uint32_t moved = follow_group(group, group_positions, at[e]);
        if (moved != at[e]) {
          at[e] = moved;
          tracked[e] = L::broadcast(moved);
        }
      }
    }
  }
}

template <typename Position>
void trace_avx2(const Position* positions, std::size_t exchanges, std::uint32_t* at,
                std::size_t count) {
  if (count == 1) {
    trace_grouped<1>(positions, exchanges, at);
  } else if (count <= 8) {
    trace_grouped<8>(positions, exchanges, at);
  } else {
    trace_grouped<16>(positions, exchanges, at);
  }
}

#endif

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
double permute_cost(std::size_t n) { return 0.75 + 1e-5 * static_cast<double>(n); }

double trace_cost(std::size_t count, std::size_t n, bool vectorized, bool narrow) {
  const auto entries = static_cast<double>(count);
  if (!vectorized) {
    return 0.55 * entries;
  }
  const double per_entry = narrow ? 0.02 : 0.04;
  return 2 * per_entry + per_entry * entries + 67.0 * entries / static_cast<double>(n);
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

void DeferredShuffle::start(std::int32_t n, std::int32_t offset, bool vectorized) {
  learn_reads();
  size_ = n > 0 ? static_cast<std::size_t>(n) : 0;
  offset_ = offset;
  narrow_ = size_ <= narrow_limit;
  vectorized_ = vectorized;
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
  if (++orders_since_halving_ == 256) {
    orders_since_halving_ = 0;
    for (double& count : needed_more_than_) {
      count /= 2;
    }
  }
}

void DeferredShuffle::draw(DeviateStream& stream, std::int32_t n, std::int32_t offset) {
  start(n, offset, stream.path() == StreamPath::vector);
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

std::int32_t DeferredShuffle::resolve() {
  // Entries [0, resolved_) are known and at least [0, read_) are wanted. The expected
  // cost of the rest, given that more than a batch end's entries are wanted: carry out
  // the exchanges, or trace up to a later batch end and go on from there, with the
  // chance that more are wanted still learnt from recent orders.
  constexpr std::size_t ends = batch_count + 1;
  std::size_t end_at[ends] = {0};
  for (std::size_t b = 0; b < batch_count; ++b) {
    end_at[b + 1] = batch_ends[b];
  }
  double expected[ends];
  std::size_t next[ends];
  for (std::size_t from = ends; from-- > 0;) {
    expected[from] = permute_cost(size_);
    next[from] = ends;  // carry out the exchanges
    for (std::size_t to = from + 1; to < ends; ++to) {
      const double more = needed_more_than_[from] > 0
                              ? needed_more_than_[to] / needed_more_than_[from]
                              : 0.5;
      const double cost =
          trace_cost(end_at[to] - end_at[from], size_, vectorized_, narrow_) + more * expected[to];
      if (cost < expected[from]) {
        expected[from] = cost;
        next[from] = to;
      }
    }
  }
  std::size_t from = 0;
  while (from + 1 < ends && end_at[from + 1] <= resolved_) {
    ++from;
  }
  const bool traceable = end_at[from] == resolved_ && size_ >= 64;
  if (traceable && next[from] < ends && read_ <= end_at[next[from]]) {
    trace(end_at[next[from]]);
  } else {
    permute();
  }
  return entries_[read_ - 1];
}

void DeferredShuffle::trace(std::size_t end) {
  std::uint32_t at[16] = {};
  const std::size_t count = end - resolved_;
  for (std::size_t e = 0; e < count; ++e) {
    at[e] = static_cast<std::uint32_t>(resolved_ + e);
  }
  // Unused places trace the first entry again.
  for (std::size_t e = count; e < 16; ++e) {
    at[e] = at[0];
  }
#if defined(__x86_64__)
  if (vectorized_ && narrow_) {
    trace_avx2(narrow_positions_.data(), size_, at, count);
  } else if (vectorized_) {
    trace_avx2(wide_positions_.data(), size_, at, count);
  } else
#endif
      if (narrow_) {
    trace_plain(narrow_positions_.data(), size_, at, count);
  } else {
    trace_plain(wide_positions_.data(), size_, at, count);
  }
  for (std::size_t e = 0; e < count; ++e) {
    entries_[resolved_ + e] = offset_ + 1 + static_cast<std::int32_t>(at[e]);
  }
  resolved_ = end;
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
