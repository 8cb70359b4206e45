#include "random/exchange_trace.hpp"

#include <algorithm>
#include <cassert>
#include <limits>
#include <type_traits>

#include "random/kernel_preconditions.hpp"
#if PARASIM_X86_KERNELS
#include "random/x86_intrinsics.hpp"
#endif

namespace parasim::random {

namespace {

// Moves a followed position through one exchange of positions j and k. A branch, rarely
// taken, keeps the comparisons of successive exchanges independent of each other.
inline void follow(std::uint32_t& at, std::uint32_t j, std::uint32_t k) {
  if (at == j || at == k) [[unlikely]] {
    at = j ^ k ^ at;
  }
}

template <typename Position>
void follow_plain(const Position* positions, std::size_t exchanges, Direction direction,
                  std::uint32_t* at, std::size_t count) {
  for (std::size_t e = 0; e < count; ++e) {
    std::uint32_t entry = at[e];
    if (direction == Direction::back) {
      for (std::size_t t = exchanges; t != 0; --t) {
        follow(entry, positions[2 * t - 2], positions[2 * t - 1]);
      }
    } else {
      for (std::size_t t = 0; t < exchanges; ++t) {
        follow(entry, positions[2 * t], positions[2 * t + 1]);
      }
    }
    at[e] = entry;
  }
}

#if PARASIM_X86_KERNELS

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

// Follows one position through a group of Exchanges exchanges, given which of the
// group's positions equal it (hits, HitBits bits per position of the group, in order):
// the first exchange (in the direction of travel) that holds it moves it to that
// exchange's other position; the exchanges after that one are then passed one by one, as
// the new position is almost never among them.
template <Direction D, unsigned HitBits, unsigned Exchanges, typename Position>
std::uint32_t follow_group(std::uint32_t hits, const Position* group_positions, std::uint32_t at) {
  if constexpr (D == Direction::back) {
    const unsigned lane = static_cast<unsigned>(31 - __builtin_clz(hits)) / HitBits;
    at = group_positions[lane ^ 1u];
    for (unsigned u = lane / 2; u != 0; --u) {
      follow(at, group_positions[2 * u - 2], group_positions[2 * u - 1]);
    }
  } else {
    const unsigned lane = static_cast<unsigned>(__builtin_ctz(hits)) / HitBits;
    at = group_positions[lane ^ 1u];
    for (unsigned u = lane / 2 + 1; u < Exchanges; ++u) {
      follow(at, group_positions[2 * u], group_positions[2 * u + 1]);
    }
  }
  return at;
}

// Count places are compared, the first `count` of them followed (the others repeat the
// first).
template <std::size_t Count, Direction D, typename Position>
__attribute__((target("avx2"))) void follow_grouped(const Position* positions,
                                                    std::size_t exchanges, std::uint32_t* at,
                                                    std::size_t count) {
  using L = Lanes<Position>;
  const std::size_t groups = exchanges / L::exchanges;
  const std::size_t rest = exchanges % L::exchanges;
  // The exchanges that fill no whole group: the last ones, passed first going back and
  // last going forward.
  const Position* rest_positions = positions + 2 * groups * L::exchanges;
  if constexpr (D == Direction::back) {
    follow_plain(rest_positions, rest, D, at, count);
  }
  __m256i followed[Count];
  for (std::size_t e = 0; e < Count; ++e) {
    followed[e] = L::broadcast(at[e]);
  }
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t group_index = D == Direction::back ? groups - 1 - g : g;
    const Position* group_positions = positions + 2 * group_index * L::exchanges;
    const __m256i group = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group_positions));
    __m256i any = L::equal(group, followed[0]);
    for (std::size_t e = 1; e < Count; ++e) {
      any = _mm256_or_si256(any, L::equal(group, followed[e]));
    }
    if (!_mm256_testz_si256(any, any)) [[unlikely]] {
      for (std::size_t e = 0; e < count; ++e) {
        const auto hits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(L::equal(group, followed[e])));
        if (hits != 0) {
          at[e] = follow_group<D, sizeof(Position), L::exchanges>(hits, group_positions, at[e]);
          followed[e] = L::broadcast(at[e]);
        }
      }
      for (std::size_t e = count; e < Count; ++e) {
        followed[e] = followed[0];
      }
    }
  }
  if constexpr (D == Direction::forward) {
    follow_plain(rest_positions, rest, D, at, count);
  }
}

// Pads the followed places to 16 (the spare ones repeat the first), has `grouped` follow them
// with the smallest count of 1, 2, 4, 8 or 16 that holds them, and copies the places back.
template <typename Grouped>
void follow_padded(std::uint32_t* at, std::size_t count, Grouped grouped) {
  std::uint32_t padded[16];
  for (std::size_t e = 0; e < 16; ++e) {
    padded[e] = at[e < count ? e : 0];
  }
  if (count == 1) {
    grouped(std::integral_constant<std::size_t, 1>{}, padded);
  } else if (count == 2) {
    grouped(std::integral_constant<std::size_t, 2>{}, padded);
  } else if (count <= 4) {
    grouped(std::integral_constant<std::size_t, 4>{}, padded);
  } else if (count <= 8) {
    grouped(std::integral_constant<std::size_t, 8>{}, padded);
  } else {
    grouped(std::integral_constant<std::size_t, 16>{}, padded);
  }
  for (std::size_t e = 0; e < count; ++e) {
    at[e] = padded[e];
  }
}

template <Direction D, typename Position>
void follow_avx2(const Position* positions, std::size_t exchanges, std::uint32_t* at,
                 std::size_t count) {
  follow_padded(at, count, [&](auto lanes, std::uint32_t* padded) {
    follow_grouped<decltype(lanes)::value, D>(positions, exchanges, padded, count);
  });
}

// The same on 512-bit registers: 16 exchanges of narrow positions or 8 of wide ones at a
// time, each comparison giving a mask of one bit per position.
template <typename Position>
struct WideLanes;

template <>
struct WideLanes<std::uint16_t> {
  static constexpr std::size_t exchanges = 16;
  PARASIM_AVX512_TARGET static __m512i broadcast(std::uint32_t at) {
    return _mm512_set1_epi16(static_cast<short>(at));
  }
  PARASIM_AVX512_TARGET static std::uint32_t equal(__m512i a, __m512i b) {
    return _mm512_cmpeq_epi16_mask(a, b);
  }
};

template <>
struct WideLanes<std::uint32_t> {
  static constexpr std::size_t exchanges = 8;
  PARASIM_AVX512_TARGET static __m512i broadcast(std::uint32_t at) {
    return _mm512_set1_epi32(static_cast<int>(at));
  }
  PARASIM_AVX512_TARGET static std::uint32_t equal(__m512i a, __m512i b) {
    return _mm512_cmpeq_epi32_mask(a, b);
  }
};

// Follows one position through a group of L::exchanges exchanges, given which of the
// group's positions equal it (hits, one bit per position, in order): the first exchange (in
// the direction of travel) that holds it moves it to that exchange's other position, and the
// group is compared again with the new position, over the exchanges after that one only,
// until none of them holds it.
template <Direction D, typename L, typename Position>
PARASIM_AVX512_TARGET std::uint32_t follow_group_masked(std::uint32_t hits,
                                                        const Position* group_positions,
                                                        __m512i group, std::uint32_t at) {
  do {
    if constexpr (D == Direction::back) {
      const auto lane = static_cast<unsigned>(31 - __builtin_clz(hits));
      at = group_positions[lane ^ 1u];
      // The positions of the exchanges before this one: lanes below its first.
      hits = L::equal(group, L::broadcast(at)) & ((std::uint32_t{1} << (lane & ~1u)) - 1);
    } else {
      const auto lane = static_cast<unsigned>(__builtin_ctz(hits));
      at = group_positions[lane ^ 1u];
      // The positions of the exchanges after this one: lanes above its second.
      hits = L::equal(group, L::broadcast(at)) &
             static_cast<std::uint32_t>(~std::uint64_t{0} << ((lane | 1u) + 1));
    }
  } while (hits != 0);
  return at;
}

template <std::size_t Count, Direction D, typename Position>
PARASIM_AVX512_TARGET void follow_grouped_avx512(const Position* positions, std::size_t exchanges,
                                                 std::uint32_t* at, std::size_t count) {
  using L = WideLanes<Position>;
  const std::size_t groups = exchanges / L::exchanges;
  const std::size_t rest = exchanges % L::exchanges;
  const Position* rest_positions = positions + 2 * groups * L::exchanges;
  if constexpr (D == Direction::back) {
    follow_plain(rest_positions, rest, D, at, count);
  }
  __m512i followed[Count];
  for (std::size_t e = 0; e < Count; ++e) {
    followed[e] = L::broadcast(at[e]);
  }
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t group_index = D == Direction::back ? groups - 1 - g : g;
    const Position* group_positions = positions + 2 * group_index * L::exchanges;
    const __m512i group = _mm512_loadu_si512(group_positions);
    std::uint32_t any = L::equal(group, followed[0]);
    for (std::size_t e = 1; e < Count; ++e) {
      any |= L::equal(group, followed[e]);
    }
    if (any != 0) [[unlikely]] {
      for (std::size_t e = 0; e < count; ++e) {
        const std::uint32_t hits = L::equal(group, followed[e]);
        if (hits != 0) {
          at[e] = follow_group_masked<D, L>(hits, group_positions, group, at[e]);
          followed[e] = L::broadcast(at[e]);
        }
      }
      for (std::size_t e = count; e < Count; ++e) {
        followed[e] = followed[0];
      }
    }
  }
  if constexpr (D == Direction::forward) {
    follow_plain(rest_positions, rest, D, at, count);
  }
}

template <Direction D, typename Position>
void follow_avx512(const Position* positions, std::size_t exchanges, std::uint32_t* at,
                   std::size_t count) {
  follow_padded(at, count, [&](auto lanes, std::uint32_t* padded) {
    follow_grouped_avx512<decltype(lanes)::value, D>(positions, exchanges, padded, count);
  });
}

#endif

}  // namespace

template <typename Position>
void follow_exchanges(const Position* positions, std::size_t exchanges, Direction direction,
                      std::uint32_t* at, std::size_t count, VectorPath path) {
  assert(processor_paths().has(path) && count <= 16 &&
         disjoint(positions, 2 * exchanges, at, count));
  // A followed position wider than the positions would be compared truncated.
  assert(std::all_of(at, at + count, [](std::uint32_t place) {
    return place <= std::numeric_limits<Position>::max();
  }));
  switch (path) {
    case VectorPath::avx512:
#if PARASIM_X86_KERNELS
      if (direction == Direction::back) {
        follow_avx512<Direction::back>(positions, exchanges, at, count);
      } else {
        follow_avx512<Direction::forward>(positions, exchanges, at, count);
      }
      return;
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::avx2:
#if PARASIM_X86_KERNELS
      if (direction == Direction::back) {
        follow_avx2<Direction::back>(positions, exchanges, at, count);
      } else {
        follow_avx2<Direction::forward>(positions, exchanges, at, count);
      }
      return;
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case VectorPath::portable:
      break;
  }
  follow_plain(positions, exchanges, direction, at, count);
}

template void follow_exchanges(const std::uint16_t*, std::size_t, Direction, std::uint32_t*,
                               std::size_t, VectorPath);
template void follow_exchanges(const std::uint32_t*, std::size_t, Direction, std::uint32_t*,
                               std::size_t, VectorPath);

}  // namespace parasim::random
