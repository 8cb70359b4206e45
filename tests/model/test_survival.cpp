#include "model/survival.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/population_builder.hpp"
#include "random/seeding.hpp"

namespace parasim::model {
namespace {

using testing::make_population;

TEST(SurvivalProbability, GaussianOfTheDistanceToTheHost) {
  EXPECT_EQ(survival_probability(5.0, 5.0, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(survival_probability(5.0, 6.0, 1.0), std::exp(-0.5));
  EXPECT_NEAR(survival_probability(4.2, 3.0, 0.5), std::exp(-1.44 / 0.5), 1e-15);
  EXPECT_EQ(survival_probability(5.0, 6.0, 0.0), 0.0);
  EXPECT_TRUE(std::isnan(survival_probability(5.0, 5.0, 0.0)));
}

HostTable three_hosts() {
  HostTable hosts;
  hosts.host_phenotype = {0.0, 1.0, -1.0};
  hosts.host_load = {0, 0, 0};
  return hosts;
}

// A state whose next output is 0: with w = 0 and y = z the new xorshift word is 0.
random::Generator zero_next() { return random::Generator({0u, 5u, 5u, 0u}); }

TEST(Dispersal, ZeroDeviateDispersesEvenAtProbabilityZero) {
  Population pool = make_population({{"", 1, 1}}, 0);
  const HostTable hosts = three_hosts();
  random::Generator generator = zero_next();
  random::Generator expected = generator;
  std::vector<std::uint32_t> survivors;
  disperse_and_select(pool, hosts, {random::EventThreshold(0.0), 1.0}, generator, survivors);
  // Dispersal draws three deviates: the zero, the host, the survival test.
  for (int i = 0; i < 3; ++i) {
    expected.next_output();
  }
  EXPECT_EQ(generator.state(), expected.state());
}

TEST(Dispersal, StayersDrawTwoDeviatesAndDispersersThree) {
  Population pool = make_population(std::vector<testing::Parasite>(200, {"", 1, 1}), 0);
  const HostTable hosts = three_hosts();
  std::vector<std::uint32_t> survivors;
  for (const double dispersal : {-1.0, 1.0}) {
    random::Generator generator;
    random::init_random_seed(generator, 9);
    random::Generator expected = generator;
    disperse_and_select(pool, hosts, {random::EventThreshold(dispersal), 1e9}, generator,
                        survivors);
    for (int i = 0; i < 200 * (dispersal > 0 ? 3 : 2); ++i) {
      expected.next_output();
    }
    EXPECT_EQ(generator.state(), expected.state());
  }
}

TEST(Survival, RatesFollowTheGaussianAndDispersalIsUniformOverHosts) {
  constexpr int children = 60000;
  Population pool = make_population(std::vector<testing::Parasite>(children, {"", 1, 1}), 0);
  const HostTable hosts = three_hosts();  // phenotype 0.0: survival 1, e^-0.5, e^-0.5
  random::Generator generator;
  random::init_random_seed(generator, 2718);
  std::vector<std::uint32_t> survivors;
  disperse_and_select(pool, hosts, {random::EventThreshold(1.0), 1.0}, generator, survivors);
  std::vector<int> per_host(3, 0);
  for (const std::uint32_t row : survivors) {
    ++per_host[static_cast<std::size_t>(pool.host_id(row) - 1)];
  }
  // Each host receives a third of the dispersers; five standard errors of tolerance.
  const double third = children / 3.0;
  const auto expect_share = [](double observed, double mean, double p) {
    EXPECT_NEAR(observed, mean, 5 * std::sqrt(mean * (1 - p)));
  };
  expect_share(per_host[0], third, 1.0 / 3);
  expect_share(per_host[1], third * std::exp(-0.5), std::exp(-0.5) / 3);
  expect_share(per_host[2], third * std::exp(-0.5), std::exp(-0.5) / 3);
}

TEST(Regrouping, StableByHost) {
  // Survivors 2 and 5 (of 6) live on host 3, the others on hosts 1 and 2.
  const Population pool = make_population({{"000", 1, 1},
                                           {"001", 2, 3},
                                           {"010", 3, 2},
                                           {"011", 4, 1},
                                           {"100", 5, 3},
                                           {"101", 6, 2},
                                           {"111", 7, 2}},
                                          3);
  const std::vector<std::uint32_t> survivors = {0, 1, 2, 3, 4, 5};  // row 6 died
  HostTable hosts = three_hosts();
  std::vector<std::size_t> next_slot;
  Population population(3);
  regroup_by_host(pool, survivors, hosts, next_slot, population);
  ASSERT_EQ(population.size(), 6u);
  std::vector<std::int32_t> order;
  for (std::size_t row = 0; row < 6; ++row) {
    order.push_back(population.species_id(row));
  }
  EXPECT_EQ(order, (std::vector<std::int32_t>{1, 4, 3, 6, 2, 5}));
  EXPECT_EQ(hosts.host_load, (std::vector<std::int32_t>{2, 2, 2}));

  regroup_by_host(pool, {}, hosts, next_slot, population);
  EXPECT_EQ(population.size(), 0u);
  EXPECT_EQ(hosts.host_load, (std::vector<std::int32_t>{0, 0, 0}));
}

}  // namespace
}  // namespace parasim::model
