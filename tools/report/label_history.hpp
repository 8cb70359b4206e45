#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace parasim::report_tool {

// A run of consecutive reported generations that all carry a species label. A label that dies out
// can be given again to a later new species, so one label may have several spans.
struct LabelSpan {
  std::int64_t species_id = 0;
  std::int64_t first_generation = 0;
  std::int64_t last_generation = 0;
  bool label_reused = false;  // an earlier span of the same label came before this one
};

// Follows which labels each reported generation carries, to date the appearance and the
// disappearance of species. Reports are ten generations apart, so a species is dated by the
// reports that first and last show it.
class LabelHistory {
 public:
  // Generations are added in increasing order; labels is the set the generation carries.
  void add_generation(std::int64_t generation, const std::vector<std::int64_t>& labels);

  // In order of first generation, then label: the order in which they were added.
  const std::vector<LabelSpan>& appearances() const { return spans_; }
  // The spans that ended before the last reported generation, in order of last generation, then
  // label.
  std::vector<LabelSpan> disappearances() const;

  std::int64_t last_generation() const { return last_generation_; }
  std::uint64_t generation_count() const { return generation_count_; }

 private:
  std::vector<LabelSpan> spans_;
  std::unordered_map<std::int64_t, std::size_t> latest_span_of_label_;
  std::int64_t previous_generation_ = 0;
  std::int64_t last_generation_ = 0;
  std::uint64_t generation_count_ = 0;
};

}  // namespace parasim::report_tool
