#include "generation_aggregator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

// Keeps a copy of every tally it is handed.
class TallyCollector : public GenerationObserver {
 public:
  void generation_done(const GenerationTally& tally) override { tallies.push_back(tally); }
  void results_done() override { done = true; }
  std::vector<GenerationTally> tallies;
  bool done = false;
};

std::vector<GenerationTally> aggregate(const std::vector<ResultsRecord>& records) {
  TallyCollector collector;
  GenerationAggregator aggregator({&collector});
  for (std::size_t i = 0; i < records.size(); ++i) {
    aggregator.take(records[i], i + 7);
  }
  aggregator.end_of_records();
  EXPECT_TRUE(collector.done);
  return collector.tallies;
}

struct PlainMoments {
  std::size_t count;
  double mean;
  double sd;
};

// Two passes over the values, as the textbook writes the population standard deviation.
PlainMoments plain_moments(const std::vector<TenThousandths>& values) {
  double sum = 0.0;
  for (const TenThousandths value : values) {
    sum += static_cast<double>(value) / 10000.0;
  }
  const double mean = sum / static_cast<double>(values.size());
  double squares = 0.0;
  for (const TenThousandths value : values) {
    const double deviation = static_cast<double>(value) / 10000.0 - mean;
    squares += deviation * deviation;
  }
  return {values.size(), mean, std::sqrt(squares / static_cast<double>(values.size()))};
}

void expect_moments(const PhenotypeMoments& moments, const std::vector<TenThousandths>& values) {
  const PlainMoments plain = plain_moments(values);
  EXPECT_EQ(moments.count(), plain.count);
  EXPECT_NEAR(moments.mean(), plain.mean, 1e-9);
  EXPECT_NEAR(moments.standard_deviation(), plain.sd, 1e-9);
}

// Compares one generation's tally with sums taken straight from its records.
void expect_tally_matches(const GenerationTally& tally, const std::vector<ResultsRecord>& records) {
  std::vector<TenThousandths> all;
  std::map<std::int64_t, std::vector<TenThousandths>> by_species;
  std::map<std::int64_t, std::set<std::int64_t>> hosts_of_species;
  std::map<std::int64_t, std::set<std::int64_t>> species_of_host;
  std::map<std::int64_t, std::uint64_t> load;
  std::map<std::pair<std::int64_t, TenThousandths>, std::uint64_t> points;
  for (const ResultsRecord& record : records) {
    all.push_back(record.phenotype);
    by_species[record.species_id].push_back(record.phenotype);
    hosts_of_species[record.species_id].insert(record.host_id);
    species_of_host[record.host_id].insert(record.species_id);
    ++load[record.host_id];
    ++points[{record.species_id, record.phenotype}];
  }
  EXPECT_EQ(tally.generation, records.front().generation);
  expect_moments(tally.phenotypes, all);

  ASSERT_EQ(tally.species.size(), by_species.size());
  auto species = tally.species.begin();
  for (const auto& [id, phenotypes] : by_species) {
    EXPECT_EQ(species->species_id, id);
    expect_moments(species->phenotypes, phenotypes);
    EXPECT_EQ(species->hosts_occupied, hosts_of_species[id].size());
    ++species;
  }

  ASSERT_EQ(tally.hosts.size(), load.size());
  auto host = tally.hosts.begin();
  for (const auto& [id, count] : load) {
    EXPECT_EQ(host->host_id, id);
    EXPECT_EQ(host->load, count);
    EXPECT_EQ(host->host_phenotype, id * 5000);
    const std::vector<std::int64_t> present(species_of_host[id].begin(), species_of_host[id].end());
    EXPECT_EQ(host->species_present, present);
    ++host;
  }

  ASSERT_EQ(tally.points.size(), points.size());
  auto point = tally.points.begin();
  for (const auto& [key, count] : points) {
    EXPECT_EQ(point->species_id, key.first);
    EXPECT_EQ(point->phenotype, key.second);
    EXPECT_EQ(point->count, count);
    ++point;
  }
}

// Random runs in the order a run writes them: generations 1, 10, 20, ..., hosts ascending within
// each, host h at phenotype h / 2, small species labels, phenotypes on the 0.1 grid or not.
std::vector<ResultsRecord> random_run(std::mt19937_64& random, int generations, int most_per_host) {
  std::vector<ResultsRecord> records;
  std::uniform_int_distribution<int> hosts_used(1, 6);
  std::uniform_int_distribution<int> per_host(1, most_per_host);
  std::uniform_int_distribution<std::int64_t> label(1, 5);
  std::uniform_int_distribution<std::int64_t> phenotype(0, 3000000);
  std::bernoulli_distribution on_grid(0.8);
  for (int g = 0; g < generations; ++g) {
    const std::int64_t generation = g == 0 ? 1 : 10 * g;
    std::int64_t host = 0;
    for (int h = hosts_used(random); h > 0; --h) {
      host += 1 + static_cast<std::int64_t>(random() % 3);
      for (int n = per_host(random); n > 0; --n) {
        const TenThousandths value = phenotype(random);
        records.push_back({generation, on_grid(random) ? value / 1000 * 1000 : value, host,
                           host * 5000, label(random)});
      }
    }
  }
  return records;
}

TEST(GenerationAggregator, AgreesWithPlainSumsOnRandomRuns) {
  std::mt19937_64 random(20240611);
  for (const int most_per_host : {1, 3, 50, 400}) {
    for (int run = 0; run < 10; ++run) {
      const std::vector<ResultsRecord> records = random_run(random, 1 + run, most_per_host);
      const std::vector<GenerationTally> tallies = aggregate(records);
      std::map<std::int64_t, std::vector<ResultsRecord>> by_generation;
      for (const ResultsRecord& record : records) {
        by_generation[record.generation].push_back(record);
      }
      ASSERT_EQ(tallies.size(), by_generation.size());
      auto tally = tallies.begin();
      for (const auto& [generation, members] : by_generation) {
        expect_tally_matches(*tally, members);
        ++tally;
      }
    }
  }
}

TEST(GenerationAggregator, ReportsNoGenerationForAHeaderOnlyFile) {
  EXPECT_TRUE(aggregate({}).empty());
}

// Phenotypes far from zero with a tiny spread keep their standard deviation.
TEST(GenerationAggregator, KeepsTheSpreadOfLargePhenotypes) {
  std::vector<ResultsRecord> records;
  for (int i = 0; i < 1000; ++i) {
    records.push_back({1, 99999990000 + (i % 2) * 2, 1, 5000, 1});
  }
  const std::vector<GenerationTally> tallies = aggregate(records);
  ASSERT_EQ(tallies.size(), 1u);
  EXPECT_DOUBLE_EQ(tallies[0].phenotypes.standard_deviation(), 0.0001);
  EXPECT_DOUBLE_EQ(tallies[0].phenotypes.mean(), 9999999.0001);
}

std::string order_failure(const std::vector<ResultsRecord>& records, std::uint64_t* line) {
  try {
    aggregate(records);
  } catch (const MalformedResults& error) {
    *line = error.line();
    return error.what();
  }
  ADD_FAILURE() << "the order was accepted";
  return {};
}

TEST(GenerationAggregator, RejectsRecordsOutOfTheRunsOrder) {
  std::uint64_t line = 0;
  // Generation 10 again after generation 20: a block split in two, or two files joined.
  std::string message = order_failure(
      {{1, 0, 1, 5000, 1}, {10, 0, 1, 5000, 1}, {20, 0, 1, 5000, 1}, {10, 0, 1, 5000, 1}}, &line);
  EXPECT_EQ(line, 10u);
  EXPECT_NE(message.find("generation 10 comes after generation 20"), std::string::npos);

  message = order_failure({{1, 0, 2, 10000, 1}, {1, 0, 3, 15000, 1}, {1, 0, 2, 10000, 1}}, &line);
  EXPECT_EQ(line, 9u);
  EXPECT_NE(message.find("host 2 comes after host 3 in generation 1"), std::string::npos);

  message = order_failure({{1, 0, 2, 10000, 1}, {1, 0, 2, 10001, 1}}, &line);
  EXPECT_EQ(line, 8u);
  EXPECT_NE(message.find("host 2 has phenotype 1.0001 here but 1.0000"), std::string::npos);

  message = order_failure({{1, 0, 2, 10000, 1}, {10, 0, 2, 20000, 1}}, &line);
  EXPECT_EQ(line, 8u);
  EXPECT_NE(message.find("on line 7"), std::string::npos) << message;
}

}  // namespace
}  // namespace parasim::report_tool
