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
// The mate search reads a handful of entries of each order of the whole population
// (the first compatible candidate usually comes early), so most of the permutation
// is never needed: an entry's origin is traced back through the exchanges, last to
// first, following it whenever an exchange moves it, which reads the positions but
// writes nothing. Entries are traced in growing batches; once a batch would cost more
// than the whole permutation, the exchanges are carried out instead. Either way the
// entries are exactly those of the permutation.
class DeferredShuffle {
 public:
  // Makes room for a permutation of n entries ahead of time; throws std::bad_alloc.
  void reserve(std::size_t n);

  // Draws the exchanges of a permutation of n entries (none for n <= 0) from any
  // source of outputs.
  template <typename Source>
  void draw(Source& source, std::int32_t n, std::int32_t offset) {
    start(n, offset);
    for (std::size_t i = 0; i < 2 * size_; ++i) {
      positions_[i] = static_cast<std::uint32_t>(
          (static_cast<std::uint64_t>(size_) * source.next_output()) >> 32);
    }
  }
  // The same from the stream, a block's outputs at a time.
  void draw(DeviateStream& stream, std::int32_t n, std::int32_t offset);

  std::size_t size() const { return size_; }

  // Entry i (0-based, i < size()).
  std::int32_t operator[](std::size_t i) { return i < resolved_ ? entries_[i] : resolve(i); }

  // All entries.
  std::span<const std::int32_t> entries();

 private:
  void start(std::int32_t n, std::int32_t offset);
  std::int32_t resolve(std::size_t i);
  // Entries [first, first + count) by tracing them back; count <= 8.
  void trace_few(std::size_t first, std::size_t count);
  // Entries [first, first + count) by tracing them back with marks.
  void trace_marked(std::size_t first, std::size_t count);
  // All entries by carrying out the exchanges.
  void permute();

  std::size_t size_ = 0;
  std::int32_t offset_ = 0;
  bool vectorized_ = false;
  std::size_t resolved_ = 0;               // entries [0, resolved_) are known
  std::vector<std::uint32_t> positions_;   // 2 per exchange, in draw order
  std::vector<std::int32_t> entries_;
  std::vector<std::uint32_t> marks_;       // 0, or 1 + the batch slot of a traced entry
  std::vector<std::uint32_t> origins_;     // where each traced entry of a batch has got to
};

}  // namespace parasim::random
