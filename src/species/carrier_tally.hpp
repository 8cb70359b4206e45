#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace parasim::species {

// How many members of a cluster carried a label on entry.
struct LabelCarriers {
  std::int32_t label = 0;
  std::int32_t cluster = 0;
  std::int32_t carriers = 0;
};

// Counts the carriers of every (label, cluster) pair for the labels of at least 1, and
// lists the pairs by ascending label and, within a label, ascending cluster: the order
// in which the label pass takes its turns and builds its tally rows.
class CarrierTally {
 public:
  std::span<const LabelCarriers> count(std::span<const std::int32_t> cluster_of,
                                       std::span<const std::int32_t> species_id);

 private:
  std::vector<std::uint64_t> keys_;  // open-addressing table of label:cluster keys, 0 free
  std::vector<std::int32_t> counts_;
  std::vector<LabelCarriers> pairs_;
};

}  // namespace parasim::species
