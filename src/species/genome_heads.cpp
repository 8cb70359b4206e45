#include "species/genome_heads.hpp"

#include <cassert>

#include "random/kernel_preconditions.hpp"
#if PARASIM_X86_KERNELS
#include "random/x86_intrinsics.hpp"
#endif

namespace parasim::species {

void GenomeHeads::clear() {
  first_.clear();
  second_.clear();
}

void GenomeHeads::push_back(const std::uint64_t* genome, std::size_t words) {
  const Head head = head_of(genome, words);
  first_.push_back(head.first);
  second_.push_back(head.second);
}

void GenomeHeads::remove_at(std::size_t i) {
  first_[i] = first_.back();
  second_[i] = second_.back();
  first_.pop_back();
  second_.pop_back();
}

std::size_t GenomeHeads::near(Head head, std::int64_t limit, std::uint32_t* found) const {
  return near_heads(random::vector_path(), {first_.data(), second_.data(), size()}, head, limit,
                    found);
}

namespace {

std::size_t near_heads_plain(HeadColumns heads, std::size_t begin, Head head, std::int64_t limit,
                             std::uint32_t* found) {
  std::size_t count = 0;
  for (std::size_t i = begin; i < heads.count; ++i) {
    const std::int64_t distance =
        std::popcount(heads.first[i] ^ head.first) + std::popcount(heads.second[i] ^ head.second);
    // Written every time and kept only when near: no branch that the data decide.
    found[count] = static_cast<std::uint32_t>(i);
    count += distance <= limit ? 1 : 0;
  }
  return count;
}

#if PARASIM_X86_KERNELS

// The number of ones in every byte, from a table of the sixteen nibbles.
__attribute__((target("avx2"))) inline __m256i byte_popcounts(__m256i x) {
  const __m256i nibble_ones = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1,
                                               1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i low_nibbles = _mm256_set1_epi8(0x0f);
  const __m256i low = _mm256_and_si256(x, low_nibbles);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(x, 4), low_nibbles);
  return _mm256_add_epi8(_mm256_shuffle_epi8(nibble_ones, low),
                         _mm256_shuffle_epi8(nibble_ones, high));
}

// For every mask of four places, the byte shuffle that moves the 32-bit places whose bits
// are set to the front, in order.
struct LeftPacks {
  alignas(16) std::uint8_t bytes[16][16];
};

constexpr LeftPacks make_left_packs() {
  LeftPacks packs{};
  for (unsigned mask = 0; mask < 16; ++mask) {
    unsigned out = 0;
    for (unsigned place = 0; place < 4; ++place) {
      if ((mask >> place) & 1u) {
        for (unsigned b = 0; b < 4; ++b) {
          packs.bytes[mask][4 * out + b] = static_cast<std::uint8_t>(4 * place + b);
        }
        ++out;
      }
    }
    for (unsigned b = 4 * out; b < 16; ++b) {
      packs.bytes[mask][b] = 0x80;
    }
  }
  return packs;
}

constexpr LeftPacks left_packs = make_left_packs();

__attribute__((target("avx2"))) std::size_t near_heads_avx2(HeadColumns heads, Head head,
                                                            std::int64_t limit,
                                                            std::uint32_t* found) {
  const __m256i first_wide = _mm256_set1_epi64x(static_cast<long long>(head.first));
  const __m256i second_wide = _mm256_set1_epi64x(static_cast<long long>(head.second));
  const __m256i bound = _mm256_set1_epi64x(limit);
  __m128i places = _mm_setr_epi32(0, 1, 2, 3);
  const __m128i four = _mm_set1_epi32(4);
  std::size_t count = 0;
  std::size_t i = 0;
  for (; i + 4 <= heads.count; i += 4) {
    const __m256i x = _mm256_xor_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(heads.first + i)), first_wide);
    const __m256i y = _mm256_xor_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(heads.second + i)), second_wide);
    // Each byte's count is at most 16, so the two words' counts add up within a byte; the
    // sum of absolute differences with 0 then adds the eight bytes of each head.
    const __m256i distances = _mm256_sad_epu8(_mm256_add_epi8(byte_popcounts(x), byte_popcounts(y)),
                                              _mm256_setzero_si256());
    const auto far = static_cast<unsigned>(
        _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpgt_epi64(distances, bound))));
    // The near places go to the front and all four are stored: no branch that the data
    // decide. The stores stay within found, as count <= i.
    const unsigned near_mask = ~far & 0xFu;
    const __m128i pack =
        _mm_load_si128(reinterpret_cast<const __m128i*>(left_packs.bytes[near_mask]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(found + count), _mm_shuffle_epi8(places, pack));
    count += static_cast<std::size_t>(std::popcount(near_mask));
    places = _mm_add_epi32(places, four);
  }
  return count + near_heads_plain(heads, i, head, limit, found + count);
}

// Eight heads at a time, each word's ones counted by the processor; the near places are
// packed to the front and all eight stored, as on the avx2 path.
PARASIM_AVX512_TARGET std::size_t near_heads_avx512(HeadColumns heads, Head head,
                                                    std::int64_t limit, std::uint32_t* found) {
  const __m512i first_wide = _mm512_set1_epi64(static_cast<long long>(head.first));
  const __m512i second_wide = _mm512_set1_epi64(static_cast<long long>(head.second));
  const __m512i bound = _mm512_set1_epi64(limit);
  __m256i places = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i eight = _mm256_set1_epi32(8);
  std::size_t count = 0;
  std::size_t i = 0;
  for (; i + 8 <= heads.count; i += 8) {
    const __m512i distances = _mm512_add_epi64(
        _mm512_popcnt_epi64(_mm512_xor_si512(_mm512_loadu_si512(heads.first + i), first_wide)),
        _mm512_popcnt_epi64(_mm512_xor_si512(_mm512_loadu_si512(heads.second + i), second_wide)));
    const __mmask8 near = _mm512_cmple_epi64_mask(distances, bound);
    // The stores stay within found, as count <= i.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(found + count),
                        _mm256_maskz_compress_epi32(near, places));
    count += static_cast<std::size_t>(std::popcount(static_cast<unsigned>(near)));
    places = _mm256_add_epi32(places, eight);
  }
  return count + near_heads_plain(heads, i, head, limit, found + count);
}

#endif

}  // namespace

std::size_t near_heads(random::VectorPath path, HeadColumns heads, Head head, std::int64_t limit,
                       std::uint32_t* found) {
  assert(random::processor_paths().has(path));
  assert(random::disjoint(found, heads.count, heads.first, heads.count) &&
         random::disjoint(found, heads.count, heads.second, heads.count));
  switch (path) {
    case random::VectorPath::avx512:
#if PARASIM_X86_KERNELS
      return near_heads_avx512(heads, head, limit, found);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case random::VectorPath::avx2:
#if PARASIM_X86_KERNELS
      return near_heads_avx2(heads, head, limit, found);
#endif
      [[fallthrough]];  // not in this build, so never chosen
    case random::VectorPath::portable:
      break;
  }
  return near_heads_plain(heads, 0, head, limit, found);
}

}  // namespace parasim::species
