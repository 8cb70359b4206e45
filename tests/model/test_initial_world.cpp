#include "model/initial_world.hpp"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "random/seeding.hpp"

namespace parasim::model {
namespace {

// The literal founder loop on a copy of the generator: how many passes it makes.
int founder_passes(std::int32_t genome_size, random::Generator generator) {
  std::vector<bool> set(static_cast<std::size_t>(genome_size), false);
  const std::int32_t target = (genome_size + 1) / 2;
  int ones = 0;
  int passes = 0;
  while (ones < target) {
    ++passes;
    const auto locus = static_cast<std::size_t>(genome_size * generator.uniform_deviate());
    if (!set[locus]) {
      set[locus] = true;
      ++ones;
    }
  }
  return passes;
}

TEST(Founders, HalfTheLociSetAtDistinctPlacesWithEveryDrawCounted) {
  for (const auto& [genome_size, ones] : std::vector<std::pair<int, int>>{
           {100, 50}, {11, 6}, {1, 1}, {0, 0}, {64, 32}, {129, 65}}) {
    random::Generator generator;
    random::init_random_seed(generator, 123456 + genome_size);
    const int passes = founder_passes(genome_size, generator);
    Population population(genome_size);
    build_founders(population, generator);

    random::Generator counted;
    random::init_random_seed(counted, 123456 + genome_size);
    for (int i = 0; i < passes; ++i) {
      counted.next_output();
    }
    EXPECT_EQ(generator.state(), counted.state()) << genome_size;
    ASSERT_EQ(population.size(), 3u);
    for (std::size_t row = 0; row < 3; ++row) {
      int count = 0;
      for (std::int32_t l = 0; l < genome_size; ++l) {
        count += population.locus(row, l);
        EXPECT_EQ(population.locus(row, l), population.locus(0, l));
      }
      EXPECT_EQ(count, ones) << genome_size;
      EXPECT_EQ(population.phenotype(row), ones / 10.0);
      EXPECT_EQ(population.species_id(row), 1);
      EXPECT_EQ(population.host_id(row), 1);
    }
  }
}

TEST(HostLine, AlternatesAboveAndBelowTheFirstHost) {
  Parameters p;
  p.host_count = 5;
  p.host_distance = 2.0;
  p.survival_sd = 0.5;
  p.carrying_capacity = 1;
  HostTable hosts = build_host_line(p, derive_values(p), 5.0);
  EXPECT_EQ(hosts.host_phenotype, (std::vector<double>{5, 6, 4, 7, 3}));
  EXPECT_EQ(hosts.host_load, (std::vector<std::int32_t>{3, 0, 0, 0, 0}));

  p.host_count = 2;
  EXPECT_EQ(build_host_line(p, derive_values(p), 5.0).host_phenotype,
            (std::vector<double>{5, 6}));
  p.host_count = 3;
  EXPECT_EQ(build_host_line(p, derive_values(p), 0.5).host_phenotype,
            (std::vector<double>{0.5, 1.5, -0.5}));
  p.host_count = 4;
  p.host_distance = 0.0;
  EXPECT_EQ(build_host_line(p, derive_values(p), 2.5).host_phenotype,
            (std::vector<double>(4, 2.5)));
}

TEST(HostLine, PositionsAreRoundedOnceFromTheExtendedSum) {
  Parameters p;
  p.host_count = 401;
  p.host_distance = 0.75;
  p.survival_sd = 0.3;
  p.carrying_capacity = 1;
  const DerivedValues d = derive_values(p);
  const double p1 = 6.1;
  const HostTable hosts = build_host_line(p, d, p1);
  int differs_from_double_arithmetic = 0;
  for (int k = 1; 2 * k <= p.host_count; ++k) {
    const long double step = static_cast<long double>(k) * d.host_spacing;
    const double above = static_cast<double>(p1 + step);
    EXPECT_EQ(hosts.host_phenotype[static_cast<std::size_t>(2 * k - 1)], above);
    EXPECT_EQ(hosts.host_phenotype[static_cast<std::size_t>(2 * k)],
              static_cast<double>(p1 - step));
    differs_from_double_arithmetic += above != p1 + k * d.host_spacing;
  }
  // The line is long enough for the extended intermediate to matter somewhere.
  EXPECT_GT(differs_from_double_arithmetic, 0);
}

}  // namespace
}  // namespace parasim::model
