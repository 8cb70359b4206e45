#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace parasim::model {

// The ten answers of the dialogue, in the order they are asked.
struct Parameters {
  std::int32_t genome_size = 0;
  double max_differentiation = 0.0;
  double mutation_rate = 0.0;
  std::int32_t max_offspring = 0;
  double dispersal_prob = 0.0;
  std::int32_t host_count = 0;
  double host_distance = 0.0;
  std::int32_t carrying_capacity = 0;
  double survival_sd = 0.0;
  std::int32_t generations = 0;
};

inline constexpr std::int32_t founder_count = 3;
inline constexpr std::int32_t report_interval = 10;

// Values computed once from the parameters.
struct DerivedValues {
  std::int32_t mate_threshold = 0;
  std::int64_t record_width = 0;
  double host_spacing = 0.0;
  // host_count x carrying_capacity, formed in 64 bits so that it cannot overflow.
  std::int64_t max_population = 0;
};

DerivedValues derive_values(const Parameters& parameters);

// The reason a run with these parameters is refused before anything is written, or
// nothing: with no host, a negative genome size or no carrying capacity the model
// has no world to run in.
std::optional<std::string> parameter_refusal(const Parameters& parameters);

}  // namespace parasim::model
