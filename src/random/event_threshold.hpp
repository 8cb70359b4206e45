#pragma once

#include <cmath>
#include <cstdint>

namespace parasim::random {

// An event of probability p happens when a fresh deviate u = k / 2^32 satisfies
// u <= p. Since k is a whole number, that is k <= floor(p * 2^32), a comparison of
// integers that gives the same answer for every k and every p (a negative p or a
// not-a-number never passes, p >= 1 always does).
class EventThreshold {
 public:
  explicit EventThreshold(double probability) {
    if (!(probability >= 0.0)) {
      limit_ = -1;
    } else if (probability >= 1.0) {
      limit_ = std::int64_t{1} << 32;
    } else {
      limit_ = static_cast<std::int64_t>(std::floor(probability * 0x1p32));
    }
  }

  bool happens(std::uint32_t output) const { return static_cast<std::int64_t>(output) <= limit_; }

  // The largest output for which the event happens: -1 (never) ... 2^32 (always).
  std::int64_t limit() const { return limit_; }

 private:
  std::int64_t limit_;
};

}  // namespace parasim::random
