#include "model/initial_world.hpp"

#include <algorithm>
#include <bit>

#include "model/allocation_failure.hpp"
#include "rounding/rounding.hpp"

namespace parasim::model {

template <typename Source>
void build_founders(Population& population, Source& generator) {
  allocate("population", [&] { population.resize(founder_count); });
  const std::int32_t genome_size = population.genome_size();
  std::uint64_t* founder = population.genome(0);
  std::fill_n(founder, population.words_per_genome(), std::uint64_t{0});

  const std::int32_t target = rounding::nint(static_cast<double>(genome_size) / 2.0);
  std::int32_t ones = 0;
  while (ones < target) {
    const std::uint32_t locus = generator.next_index(static_cast<std::uint32_t>(genome_size));
    const std::uint64_t bit = std::uint64_t{1} << (locus % 64);
    if ((founder[locus / 64] & bit) == 0) {
      founder[locus / 64] |= bit;
      ++ones;
    }
  }

  for (std::size_t row = 0; row < founder_count; ++row) {
    if (row != 0) {
      std::copy_n(founder, population.words_per_genome(), population.genome(row));
    }
    population.species_id(row) = 1;
    population.phenotype(row) = phenotype_of(ones);
    population.host_id(row) = 1;
  }
}

template void build_founders(Population&, random::Generator&);
template void build_founders(Population&, random::DeviateStream&);

HostTable build_host_line(const Parameters& parameters, const DerivedValues& derived,
                          double founder_phenotype) {
  HostTable hosts;
  const auto host_count = static_cast<std::size_t>(parameters.host_count);
  allocate("host_table", [&] {
    hosts.host_phenotype.assign(host_count, 0.0);
    hosts.host_load.assign(host_count, 0);
  });
  hosts.host_phenotype[0] = founder_phenotype;
  const rounding::extended_real p1 = founder_phenotype;
  const rounding::extended_real spacing = derived.host_spacing;
  std::int64_t step = 1;
  for (std::size_t n = 2; n <= host_count; n += 2, ++step) {
    // Each position is formed with a 64-bit significand and only then stored.
    hosts.host_phenotype[n - 1] = static_cast<double>(p1 + static_cast<rounding::extended_real>(step) * spacing);
    if (n + 1 <= host_count) {
      hosts.host_phenotype[n] = static_cast<double>(p1 - static_cast<rounding::extended_real>(step) * spacing);
    }
  }
  hosts.host_load[0] = founder_count;
  return hosts;
}

}  // namespace parasim::model
