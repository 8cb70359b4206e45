#include "model/initial_world.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "random/seeding.hpp"
#include "reference/adapters.hpp"

namespace parasim::model {
namespace {

TEST(Founders, HalfTheLociSetWithTheReferenceDraws) {
  for (const auto& [genome_size, ones] :
       std::vector<std::pair<int, int>>{{100, 50}, {11, 6}, {1, 1}, {0, 0}, {64, 32}, {129, 65}}) {
    Parameters p;
    p.genome_size = genome_size;
    p.host_count = 1;
    const reference::World expected = reference::set_up(p, 123456 + genome_size);

    random::Generator generator;
    random::init_random_seed(generator, 123456 + genome_size);
    Population population(genome_size);
    build_founders(population, generator);
    EXPECT_EQ(reference::population_matrix(population), expected.population) << genome_size;
    EXPECT_EQ(generator.state(), reference::program_state(expected.generator)) << genome_size;
    EXPECT_EQ(population.phenotype(0), ones / 10.0);
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
  EXPECT_EQ(build_host_line(p, derive_values(p), 5.0).host_phenotype, (std::vector<double>{5, 6}));
  p.host_count = 3;
  EXPECT_EQ(build_host_line(p, derive_values(p), 0.5).host_phenotype,
            (std::vector<double>{0.5, 1.5, -0.5}));
  p.host_count = 4;
  p.host_distance = 0.0;
  EXPECT_EQ(build_host_line(p, derive_values(p), 2.5).host_phenotype,
            (std::vector<double>(4, 2.5)));
}

TEST(HostLine, PositionsAreRoundedOnceFromTheExtendedSumAsInTheReference) {
  Parameters p;
  p.genome_size = 122;
  p.host_count = 401;
  p.host_distance = 0.75;
  p.survival_sd = 0.3;
  p.carrying_capacity = 1;
  const reference::World expected = reference::set_up(p, 61);
  const double p1 = expected.host_table(1, 1);
  const DerivedValues d = derive_values(p);
  const HostTable hosts = build_host_line(p, d, p1);
  int differs_from_double_arithmetic = 0;
  for (int h = 1; h <= p.host_count; ++h) {
    const double position = hosts.host_phenotype[static_cast<std::size_t>(h - 1)];
    EXPECT_EQ(position, expected.host_table(h, 1)) << "host " << h;
    const int k = h / 2;
    differs_from_double_arithmetic +=
        position != (h % 2 == 0 ? p1 + k * d.host_spacing : p1 - k * d.host_spacing);
  }
  // The line is long enough for the extended intermediate to matter somewhere.
  EXPECT_GT(differs_from_double_arithmetic, 0);
}

}  // namespace
}  // namespace parasim::model
