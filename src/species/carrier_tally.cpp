#include "species/carrier_tally.hpp"

#include <algorithm>
#include <bit>

namespace parasim::species {
namespace {

// Labels and clusters are at least 1, so no pair has the key 0, and key order is the
// order of (label, cluster).
std::uint64_t pair_key(std::int32_t label, std::int32_t cluster) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(label)) << 32 |
         static_cast<std::uint32_t>(cluster);
}

}  // namespace

std::span<const LabelCarriers> CarrierTally::count(std::span<const std::int32_t> cluster_of,
                                                   std::span<const std::int32_t> species_id) {
  // At most half full, so that probe runs stay short.
  const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(2 * species_id.size(), 16));
  const int shift = 64 - std::countr_zero(capacity);
  const std::size_t mask = capacity - 1;
  keys_.assign(capacity, 0);
  counts_.assign(capacity, 0);
  for (std::size_t i = 0; i < species_id.size(); ++i) {
    const std::int32_t label = species_id[i];
    if (label < 1) {
      continue;
    }
    const std::uint64_t key = pair_key(label, cluster_of[i]);
    std::size_t slot = static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ULL) >> shift);
    while (keys_[slot] != 0 && keys_[slot] != key) {
      slot = (slot + 1) & mask;
    }
    keys_[slot] = key;
    ++counts_[slot];
  }

  pairs_.clear();
  for (std::size_t slot = 0; slot < capacity; ++slot) {
    if (keys_[slot] != 0) {
      pairs_.push_back({static_cast<std::int32_t>(keys_[slot] >> 32),
                        static_cast<std::int32_t>(keys_[slot] & 0xffffffffU), counts_[slot]});
    }
  }
  std::sort(pairs_.begin(), pairs_.end(), [](const LabelCarriers& a, const LabelCarriers& b) {
    return pair_key(a.label, a.cluster) < pair_key(b.label, b.cluster);
  });
  return pairs_;
}

}  // namespace parasim::species
