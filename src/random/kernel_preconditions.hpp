#pragma once

// What the kernels require of their arguments, checked by assert in debug and sanitizer
// builds and free in release builds: a vector load or store past a buffer, or a kernel
// writing over its own input, gives no error of its own, only wrong results.

#include <cstddef>
#include <cstdint>

namespace parasim::random {

// Whether the arrays first[0 .. first_count) and second[0 .. second_count) have no byte in
// common.
template <typename T, typename U>
bool disjoint(const T* first, std::size_t first_count, const U* second, std::size_t second_count) {
  const auto first_begin = reinterpret_cast<std::uintptr_t>(first);
  const auto second_begin = reinterpret_cast<std::uintptr_t>(second);
  return first_count == 0 || second_count == 0 ||
         first_begin + first_count * sizeof(T) <= second_begin ||
         second_begin + second_count * sizeof(U) <= first_begin;
}

}  // namespace parasim::random
