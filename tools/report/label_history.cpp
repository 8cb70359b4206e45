#include "label_history.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace parasim::report_tool {

void LabelHistory::add_generation(std::int64_t generation,
                                  const std::vector<std::int64_t>& labels) {
  for (const std::int64_t label : labels) {
    const auto found = latest_span_of_label_.find(label);
    if (found != latest_span_of_label_.end() && generation_count_ > 0 &&
        spans_[found->second].last_generation == previous_generation_) {
      spans_[found->second].last_generation = generation;
      continue;
    }
    const bool reused = found != latest_span_of_label_.end();
    latest_span_of_label_[label] = spans_.size();
    spans_.push_back(LabelSpan{label, generation, generation, reused});
  }
  previous_generation_ = generation;
  last_generation_ = generation;
  ++generation_count_;
}

std::vector<LabelSpan> LabelHistory::disappearances() const {
  std::vector<LabelSpan> ended;
  std::copy_if(spans_.begin(), spans_.end(), std::back_inserter(ended),
               [this](const LabelSpan& span) { return span.last_generation != last_generation_; });
  std::sort(ended.begin(), ended.end(), [](const LabelSpan& a, const LabelSpan& b) {
    return std::pair(a.last_generation, a.species_id) < std::pair(b.last_generation, b.species_id);
  });
  return ended;
}

}  // namespace parasim::report_tool
