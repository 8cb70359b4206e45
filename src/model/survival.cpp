#include "model/survival.hpp"

#include <algorithm>
#include <cmath>
#include "model/allocation_failure.hpp"
#include "rounding/extended_real.hpp"

namespace parasim::model {

double survival_probability(double phenotype, double host_phenotype, double survival_sd) {
  const rounding::extended_real d = static_cast<rounding::extended_real>(phenotype) - host_phenotype;
  const rounding::extended_real sd = survival_sd;
  const auto exponent = static_cast<double>((d * d) / (sd * sd * -2.0L));
  return std::exp(exponent);
}

template <typename Source>
void disperse_and_select(Population& pool, const HostTable& hosts, const SurvivalRules& rules,
                         Source& generator, std::vector<std::uint32_t>& survivors) {
  survivors.clear();
  allocate("survivors", [&] { survivors.reserve(pool.size()); });
  const auto host_count = static_cast<std::uint32_t>(hosts.host_count());
  for (std::size_t child = 0; child < pool.size(); ++child) {
    std::int32_t host = pool.host_id(child);
    if (rules.dispersal.happens(generator.next_output())) {
      host = static_cast<std::int32_t>(generator.next_index(host_count)) + 1;
    }
    const double chance = survival_probability(
        pool.phenotype(child), hosts.host_phenotype[static_cast<std::size_t>(host - 1)],
        rules.survival_sd);
    // A chance that is not a number fails the test.
    if (generator.uniform_deviate() <= chance) {
      pool.host_id(child) = host;
      survivors.push_back(static_cast<std::uint32_t>(child));
    }
  }
}

template void disperse_and_select(Population&, const HostTable&, const SurvivalRules&,
                                  random::Generator&, std::vector<std::uint32_t>&);
template void disperse_and_select(Population&, const HostTable&, const SurvivalRules&,
                                  random::DeviateStream&, std::vector<std::uint32_t>&);

void regroup_by_host(const Population& pool, const std::vector<std::uint32_t>& survivors,
                     HostTable& hosts, std::vector<std::size_t>& next_slot,
                     Population& population) {
  std::fill(hosts.host_load.begin(), hosts.host_load.end(), 0);
  for (const std::uint32_t row : survivors) {
    ++hosts.host_load[static_cast<std::size_t>(pool.host_id(row) - 1)];
  }
  // A counting sort by host: hosts in ascending order, survivor order kept within each.
  allocate("population", [&] { next_slot.resize(hosts.host_load.size()); });
  std::size_t start = 0;
  for (std::size_t h = 0; h < next_slot.size(); ++h) {
    next_slot[h] = start;
    start += static_cast<std::size_t>(hosts.host_load[h]);
  }
  allocate("population", [&] { population.resize(survivors.size()); });
  for (const std::uint32_t row : survivors) {
    const auto h = static_cast<std::size_t>(pool.host_id(row) - 1);
    population.copy_row(next_slot[h]++, pool, row);
  }
}

}  // namespace parasim::model
