// The reference model's set-up, child construction and whole runs: founders, host line, draws,
// the lines of the console and of the results file.
#include <gtest/gtest.h>

#include "reference/reference_model.hpp"

namespace parasim::reference {
namespace {

int count_lines(const std::string& text) {
  int lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos;
       at = text.find("\r\n", at + 2)) {
    ++lines;
  }
  return lines;
}

bool same_state(const Generator& a, const Generator& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

model::Parameters typical() {
  return {100, 0.25, 0.001, 2, 0.1, 5, 2.0, 20, 0.5, 0};
}

TEST(ReferenceModel, MateThresholdUsesTheExtendedProduct) {
  EXPECT_EQ(derive_mate_threshold(10, 0.7), 7);
  EXPECT_EQ(derive_mate_threshold(10, 0.0), 1);
  EXPECT_EQ(derive_mate_threshold(100, 0.25), 26);
  EXPECT_EQ(derive_mate_threshold(0, 0.9), 1);
  EXPECT_EQ(derive_mate_threshold(10, -0.5), -4);
}

TEST(ReferenceModel, FoundersAndHostLine) {
  const World world = set_up(typical(), 123456);
  int ones = 0;
  for (int l = 1; l <= 100; ++l) {
    ones += world.population(1, l) == 1.0 ? 1 : 0;
  }
  EXPECT_EQ(ones, 50);
  const double expected[] = {5.0, 6.0, 4.0, 7.0, 3.0};
  for (int h = 1; h <= 5; ++h) {
    EXPECT_EQ(world.host_table(h, 1), expected[h - 1]) << "host " << h;
  }
  EXPECT_EQ(world.host_table(1, 2), 3.0);
  EXPECT_EQ(world.host_table(2, 2), 0.0);
  for (int row = 2; row <= 3; ++row) {
    for (int column = 1; column <= 103; ++column) {
      EXPECT_EQ(world.population(row, column), world.population(1, column));
    }
  }
  EXPECT_EQ(world.population(1, 101), 1.0);
  EXPECT_EQ(world.population(1, 102), 5.0);
  EXPECT_EQ(world.population(1, 103), 1.0);
  EXPECT_EQ(world.pool_capacity, 0);
}

TEST(ReferenceModel, OddAndEmptyGenomes) {
  model::Parameters p = typical();
  p.genome_size = 11;
  EXPECT_EQ(set_up(p, 7).host_table(1, 1), 0.6);
  p.genome_size = 0;
  World empty = set_up(p, 7);
  EXPECT_EQ(empty.record_width, 3);
  EXPECT_EQ(empty.host_table(1, 1), 0.0);
  Generator fresh;
  init_random_seed(fresh, 7);
  EXPECT_TRUE(same_state(empty.generator, fresh));  // no founder draw for an empty genome
}

TEST(ReferenceModel, EmptyGenomeChildDrawsOnlyTheCrossoverDeviate) {
  model::Parameters p = typical();
  p.genome_size = 0;
  World world = set_up(p, 31);
  world.mate_order.resize(3);
  for (int i = 1; i <= 3; ++i) {
    world.mate_order(i) = 4 - i;
  }
  Generator expected = world.generator;
  next_output(expected);
  std::int32_t found = 0;
  offspring(world, 1, 0, found);
  EXPECT_EQ(found, 0);
  offspring(world, 1, 3, found);
  EXPECT_EQ(found, 1);
  EXPECT_TRUE(same_state(world.generator, expected));
  EXPECT_EQ(world.child(2), 0.0);
}

TEST(ReferenceModel, GenerationsZeroWritesTheHeaderOnlyAndTheWholeDialogue) {
  const ReferenceRun run = run_reference(typical(), 5);
  EXPECT_EQ(count_lines(run.console), 7 + 10 + 2 + 4);
  EXPECT_EQ(count_lines(run.output_dat), 6);
  EXPECT_EQ(run.generations_run, 0);
}

TEST(ReferenceModel, FirstReportListsTheFounders) {
  model::Parameters p = typical();
  p.generations = 1;
  const ReferenceRun run = run_reference(p, 5);
  const std::string founder =
      "        1          5.0000          1.0000          5.0000        1\r\n";
  const std::size_t header_size = run.output_dat.size() - 3 * founder.size();
  EXPECT_EQ(run.output_dat.substr(header_size), founder + founder + founder);
  EXPECT_EQ(count_lines(run.output_dat), 9);
}

TEST(ReferenceModel, NoOffspringEndsAfterTheFirstGeneration) {
  model::Parameters p = typical();
  p.max_offspring = 0;
  p.generations = 30;
  const ReferenceRun run = run_reference(p, 5);
  EXPECT_EQ(run.generations_run, 1);
  EXPECT_EQ(run.final_population, 0);
}

TEST(ReferenceModel, ReportsFollowTheInterval) {
  model::Parameters p = typical();
  p.generations = 25;
  const ReferenceRun run = run_reference(p, 77);
  ASSERT_EQ(run.generations_run, 25);
  EXPECT_NE(run.output_dat.find("\r\n        1 "), std::string::npos);
  EXPECT_NE(run.output_dat.find("\r\n       10 "), std::string::npos);
  EXPECT_NE(run.output_dat.find("\r\n       20 "), std::string::npos);
  EXPECT_EQ(run.output_dat.find("\r\n        2 "), std::string::npos);
  EXPECT_EQ(run.output_dat.find("\r\n       25 "), std::string::npos);
}

TEST(ReferenceModel, SameSeedSameBytes) {
  model::Parameters p = typical();
  p.generations = 12;
  EXPECT_EQ(run_reference(p, 2024).output_dat, run_reference(p, 2024).output_dat);
  EXPECT_NE(run_reference(p, 2024).output_dat, run_reference(p, 2025).output_dat);
}

}  // namespace
}  // namespace parasim::reference
