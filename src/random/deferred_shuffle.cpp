#include "random/deferred_shuffle.hpp"

#include <algorithm>
#include <utility>

#include "random/block_fill.hpp"
#include "random/output_kernels.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace parasim::random {

namespace {

// Follows a traced entry back through one exchange.
inline void follow(std::uint32_t& at, std::uint32_t j, std::uint32_t k) {
  at = at == j ? k : at == k ? j : at;
}

#if defined(__x86_64__)

// Traces `count` (1 ... 8) entries, at[0 .. count), back through the exchanges, last
// first: four exchanges (eight positions) are compared with every traced entry at once,
// and only the rare group that moves one is followed exchange by exchange.
template <std::size_t Count>
__attribute__((target("avx2"))) void trace_grouped(const std::uint32_t* positions,
                                                   std::size_t exchanges, std::uint32_t* at) {
  std::size_t t = exchanges;
  for (; t % 4 != 0; --t) {
    for (std::size_t e = 0; e < Count; ++e) {
      follow(at[e], positions[2 * t - 2], positions[2 * t - 1]);
    }
  }
  __m256i tracked[Count];
  for (std::size_t e = 0; e < Count; ++e) {
    tracked[e] = _mm256_set1_epi32(static_cast<int>(at[e]));
  }
  for (; t != 0; t -= 4) {
    const __m256i group =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(positions + 2 * t - 8));
    __m256i hits = _mm256_cmpeq_epi32(group, tracked[0]);
    for (std::size_t e = 1; e < Count; ++e) {
      hits = _mm256_or_si256(hits, _mm256_cmpeq_epi32(group, tracked[e]));
    }
    if (!_mm256_testz_si256(hits, hits)) [[unlikely]] {
      for (std::size_t u = t; u != t - 4; --u) {
        for (std::size_t e = 0; e < Count; ++e) {
          follow(at[e], positions[2 * u - 2], positions[2 * u - 1]);
        }
      }
      for (std::size_t e = 0; e < Count; ++e) {
        tracked[e] = _mm256_set1_epi32(static_cast<int>(at[e]));
      }
    }
  }
}

#endif

}  // namespace

void DeferredShuffle::reserve(std::size_t n) {
  positions_.reserve(2 * n);
  entries_.reserve(n);
  marks_.reserve(n);
}

void DeferredShuffle::start(std::int32_t n, std::int32_t offset) {
  size_ = n > 0 ? static_cast<std::size_t>(n) : 0;
  offset_ = offset;
  resolved_ = 0;
  vectorized_ = false;
  if (positions_.size() < 2 * size_) {
    positions_.resize(2 * size_);
    entries_.resize(size_);
    marks_.resize(size_, 0);
  }
}

void DeferredShuffle::draw(DeviateStream& stream, std::int32_t n, std::int32_t offset) {
  start(n, offset);
  vectorized_ = stream.path() == StreamPath::vector;
  const auto factor = static_cast<std::uint32_t>(size_);
  std::uint32_t* positions = positions_.data();
  std::size_t left = 2 * size_;
  while (left != 0) {
    const std::span<const std::uint32_t> outputs = stream.next_outputs(left);
    if (vectorized_) {
      positions_avx2(outputs.data(), outputs.size(), factor, positions);
    } else {
      positions_plain(outputs.data(), outputs.size(), factor, positions);
    }
    positions += outputs.size();
    left -= outputs.size();
  }
}

std::span<const std::int32_t> DeferredShuffle::entries() {
  if (resolved_ < size_) {
    permute();
  }
  return {entries_.data(), size_};
}

std::int32_t DeferredShuffle::resolve(std::size_t i) {
  if (vectorized_ && resolved_ == 0 && i < 1) {
    trace_few(0, 1);
  } else if (vectorized_ && i < 8 && size_ >= 64) {
    trace_few(resolved_, 8 - resolved_);
  } else if (!vectorized_ && i < 8 && size_ >= 64) {
    trace_marked(resolved_, 8 - resolved_);
  } else {
    permute();
  }
  return entries_[i];
}

void DeferredShuffle::trace_few(std::size_t first, std::size_t count) {
  std::uint32_t at[8] = {};
  for (std::size_t e = 0; e < count; ++e) {
    at[e] = static_cast<std::uint32_t>(first + e);
  }
#if defined(__x86_64__)
  // Unused places trace the first entry again.
  for (std::size_t e = count; e < 8; ++e) {
    at[e] = at[0];
  }
  if (count == 1) {
    trace_grouped<1>(positions_.data(), size_, at);
  } else if (count <= 4) {
    trace_grouped<4>(positions_.data(), size_, at);
  } else {
    trace_grouped<8>(positions_.data(), size_, at);
  }
#else
  for (std::size_t t = size_; t != 0; --t) {
    for (std::size_t e = 0; e < count; ++e) {
      follow(at[e], positions_[2 * t - 2], positions_[2 * t - 1]);
    }
  }
#endif
  for (std::size_t e = 0; e < count; ++e) {
    entries_[first + e] = offset_ + 1 + static_cast<std::int32_t>(at[e]);
  }
  resolved_ = first + count;
}

void DeferredShuffle::trace_marked(std::size_t first, std::size_t count) {
  if (origins_.size() < count) {
    origins_.resize(count);
  }
  std::uint32_t* marks = marks_.data();
  std::uint32_t* origins = origins_.data();
  for (std::size_t e = 0; e < count; ++e) {
    origins[e] = static_cast<std::uint32_t>(first + e);
    marks[first + e] = static_cast<std::uint32_t>(e + 1);
  }
  const std::uint32_t* positions = positions_.data();
  for (std::size_t t = size_; t != 0; --t) {
    const std::uint32_t j = positions[2 * t - 2];
    const std::uint32_t k = positions[2 * t - 1];
    const std::uint32_t mark_j = marks[j];
    const std::uint32_t mark_k = marks[k];
    if ((mark_j | mark_k) != 0) [[unlikely]] {
      marks[j] = mark_k;
      marks[k] = mark_j;
      if (mark_k != 0) {
        origins[mark_k - 1] = j;
      }
      if (mark_j != 0) {
        origins[mark_j - 1] = k;
      }
    }
  }
  for (std::size_t e = 0; e < count; ++e) {
    entries_[first + e] = offset_ + 1 + static_cast<std::int32_t>(origins[e]);
    marks[origins[e]] = 0;
  }
  resolved_ = first + count;
}

void DeferredShuffle::permute() {
  std::int32_t* entries = entries_.data();
  for (std::size_t i = 0; i < size_; ++i) {
    entries[i] = offset_ + 1 + static_cast<std::int32_t>(i);
  }
  const std::uint32_t* positions = positions_.data();
  for (std::size_t t = 0; t < size_; ++t) {
    std::swap(entries[positions[2 * t]], entries[positions[2 * t + 1]]);
  }
  resolved_ = size_;
}

}  // namespace parasim::random
