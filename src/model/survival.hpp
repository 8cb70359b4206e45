#pragma once

#include <cstdint>
#include <vector>

#include "model/host_table.hpp"
#include "model/population.hpp"
#include "random/deviate_stream.hpp"
#include "random/event_threshold.hpp"
#include "random/generator.hpp"

namespace parasim::model {

struct SurvivalRules {
  random::EventThreshold dispersal;
  double survival_sd;
};

// The chance that a parasite of this phenotype survives on a host of that phenotype:
// exp(-d^2 / (2 sd^2)), the quotient formed with a 64-bit significand and handed to
// the exponential as a double. Not a number when sd is 0 and d is 0.
double survival_probability(double phenotype, double host_phenotype, double survival_sd);

// Each child in pool order draws whether it disperses (then to which host, uniformly
// over all hosts) and whether it survives on the host where it lands. Returns the
// rows of the survivors in pool order; a surviving disperser's host_id is rewritten.
// Draws from random::Generator or random::DeviateStream.
template <typename Source>
void disperse_and_select(Population& pool, const HostTable& hosts, const SurvivalRules& rules,
                         Source& generator, std::vector<std::uint32_t>& survivors);

// Makes the survivors the next population, grouped by host in ascending host order
// and, within a host, in survivor order; rewrites every host_load. next_slot is a
// work vector kept by the caller.
void regroup_by_host(const Population& pool, const std::vector<std::uint32_t>& survivors,
                     HostTable& hosts, std::vector<std::size_t>& next_slot,
                     Population& population);

}  // namespace parasim::model
