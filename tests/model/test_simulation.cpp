#include "model/simulation.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <numeric>

#include "model/generation_driver.hpp"
#include "model/small_world.hpp"

namespace parasim::model {
namespace {

class NoReports : public ReportSink {
 public:
  void report(std::int32_t generation, const Population&, const HostTable&) override {
    reported.push_back(generation);
  }
  std::vector<std::int32_t> reported;
};

// The state that every generation must leave: loads that sum to the population and
// match the rows, rows grouped by host in host order, phenotypes that match the
// genomes, and no bits beyond the last locus.
void expect_invariants(const Simulation& run) {
  const Population& population = run.population();
  const HostTable& hosts = run.hosts();
  ASSERT_EQ(std::accumulate(hosts.host_load.begin(), hosts.host_load.end(), std::size_t{0}),
            population.size());
  std::size_t row = 0;
  for (std::int32_t h = 1; h <= hosts.host_count(); ++h) {
    for (std::int32_t i = 0; i < hosts.host_load[static_cast<std::size_t>(h - 1)]; ++i, ++row) {
      ASSERT_EQ(population.host_id(row), h);
    }
  }
  const std::size_t words = population.words_per_genome();
  const int spare_bits = static_cast<int>(words * 64) - population.genome_size();
  for (row = 0; row < population.size(); ++row) {
    std::int64_t ones = 0;
    for (std::size_t w = 0; w < words; ++w) {
      ones += std::popcount(population.genome(row)[w]);
    }
    ASSERT_EQ(population.phenotype(row), phenotype_of(ones));
    if (words > 0 && spare_bits > 0) {
      ASSERT_EQ(population.genome(row)[words - 1] >> (64 - spare_bits), 0u);
    }
    ASSERT_GE(population.species_id(row), 1);
  }
}

TEST(Simulation, EveryGenerationKeepsTheStateConsistent) {
  for (const std::int32_t genome_size : {0, 1, 10, 64, 100, 130}) {
    Simulation run(testing::small_world(genome_size, 0.01, 25), 1000 + genome_size);
    NoReports reports;
    GenerationDriver driver(run, &reports, {});
    expect_invariants(run);
    while (!run.finished()) {
      driver.run_generation();
      expect_invariants(run);
      ASSERT_LE(run.population().size(), 160u);
    }
    // Reports for generations 1, 10 and 20, as far as the run got.
    std::vector<std::int32_t> expected;
    for (const std::int32_t g : {1, 10, 20}) {
      if (g <= run.generations_run()) {
        expected.push_back(g);
      }
    }
    EXPECT_EQ(reports.reported, expected);
    EXPECT_TRUE(run.generations_run() == 25 || run.population().size() == 0);
  }
}

}  // namespace
}  // namespace parasim::model
