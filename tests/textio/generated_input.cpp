#include "textio/generated_input.hpp"

#include <algorithm>
#include <cstring>

namespace parasim::textio::testing {

GeneratedInput::GeneratedInput(std::string prefix, char fill, std::uint64_t count, std::string suffix)
    : prefix_(std::move(prefix)), fill_(fill), count_(count), suffix_(std::move(suffix)) {}

GeneratedInput::int_type GeneratedInput::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  const std::uint64_t fill_end = prefix_.size() + count_;
  const std::uint64_t total = fill_end + suffix_.size();
  std::size_t n = 0;
  while (n < sizeof piece_ && position_ < total) {
    if (position_ < prefix_.size()) {
      piece_[n++] = prefix_[position_++];
    } else if (position_ < fill_end) {
      const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(fill_end - position_, sizeof piece_ - n));
      std::memset(piece_ + n, fill_, chunk);
      n += chunk;
      position_ += chunk;
    } else {
      piece_[n++] = suffix_[position_ - fill_end];
      ++position_;
    }
  }
  produced_ += n;
  if (n == 0) return traits_type::eof();
  setg(piece_, piece_, piece_ + n);
  return traits_type::to_int_type(*gptr());
}

}  // namespace parasim::textio::testing
