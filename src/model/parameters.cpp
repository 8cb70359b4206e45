#include "model/parameters.hpp"

#include <algorithm>
#include <limits>

#include "textio/rounding.hpp"

namespace parasim::model {

DerivedValues derive_values(const Parameters& parameters) {
  DerivedValues derived;
  // The product is formed with a 64-bit significand before it is truncated, so that
  // genome size 10 with 0.7 gives 6.99999999999999956 and a threshold of 7, not 8.
  const long double product = static_cast<long double>(parameters.genome_size) *
                              static_cast<long double>(parameters.max_differentiation);
  const std::int64_t truncated = textio::int_trunc(product);
  derived.mate_threshold = static_cast<std::int32_t>(
      std::min<std::int64_t>(truncated + 1, std::numeric_limits<std::int32_t>::max()));
  derived.record_width = static_cast<std::int64_t>(parameters.genome_size) + 3;
  derived.host_spacing = parameters.host_distance * parameters.survival_sd;
  derived.max_population = static_cast<std::int64_t>(parameters.host_count) *
                           static_cast<std::int64_t>(parameters.carrying_capacity);
  return derived;
}

std::optional<std::string> parameter_refusal(const Parameters& parameters) {
  if (parameters.genome_size < 0) {
    return "The genome size must be 0 or more, not " + std::to_string(parameters.genome_size);
  }
  if (parameters.host_count < 1) {
    return "The number of hosts must be at least 1, not " + std::to_string(parameters.host_count);
  }
  if (parameters.carrying_capacity < 1) {
    return "The carrying capacity must be at least 1, not " +
           std::to_string(parameters.carrying_capacity);
  }
  return std::nullopt;
}

}  // namespace parasim::model
