#pragma once

#include <cstddef>
#include <cstdint>

namespace parasim::report {

// A 64-bit FNV-1a digest of a sequence of bytes, which can be extended piece by piece as a
// file grows: any flipped, lost or extra byte changes it. It guards against accidents (a
// damaged checkpoint, another run's file), not against forgery.
inline constexpr std::uint64_t empty_digest = 14695981039346656037ull;

inline std::uint64_t extend_digest(std::uint64_t digest, const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    digest ^= static_cast<unsigned char>(data[i]);
    digest *= 1099511628211ull;
  }
  return digest;
}

}  // namespace parasim::report
