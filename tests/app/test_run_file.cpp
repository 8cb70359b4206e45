#include "app/run_file.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/generation_driver.hpp"
#include "model/simulation.hpp"

namespace parasim::app {
namespace {

// tests/data/README.md tells how it was made.
std::string stored_format2() {
  std::ifstream file(std::filesystem::path(PARASIM_TESTS_DIR) / "data" / "checkpoint_format2.ckpt",
                     std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

model::Parameters stored_answers() {
  return {60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 60};
}

// A run file of a run some generations in, with every field set.
RunFile run_file_after(std::int32_t generations, std::optional<report::FileMark> abundance,
                       std::int32_t genomes_every) {
  model::Simulation simulation(stored_answers(), 1234);
  model::GenerationDriver driver(simulation, nullptr, {});
  for (std::int32_t g = 0; g < generations; ++g) {
    driver.run_generation();
  }
  RunFile run_file;
  run_file.state = simulation.checkpoint();
  run_file.tick_count = 1234;
  run_file.results = {98765, 0x0123456789abcdefULL};
  run_file.abundance = abundance;
  run_file.genomes_every = genomes_every;
  return run_file;
}

void expect_same(const RunFile& a, const RunFile& b) {
  EXPECT_EQ(a.tick_count, b.tick_count);
  EXPECT_EQ(a.results, b.results);
  EXPECT_EQ(a.abundance, b.abundance);
  EXPECT_EQ(a.genomes_every, b.genomes_every);
  EXPECT_TRUE(a.state.parameters == b.state.parameters);
  EXPECT_EQ(a.state.generation, b.state.generation);
  EXPECT_EQ(a.state.generator, b.state.generator);
  EXPECT_EQ(a.state.species.size(), b.state.species.size());
  EXPECT_EQ(a.state.population.size(), b.state.population.size());
  EXPECT_EQ(a.state.hosts.host_load, b.state.hosts.host_load);
}

TEST(RunFile, ReadsBackWhatItWrote) {
  for (const auto& [abundance, genomes_every] :
       {std::pair<std::optional<report::FileMark>, std::int32_t>{std::nullopt, 0},
        {report::FileMark{4567, 89}, 25}}) {
    const RunFile written = run_file_after(7, abundance, genomes_every);
    const std::string bytes = encode_run_file(written);
    const RunFile read = decode_run_file(bytes);
    expect_same(read, written);
    EXPECT_EQ(encode_run_file(read), bytes);
  }
}

// Checkpoints written before the genomes cadence was recorded still resume: the stored one
// reads as the run it came from, and written again it is of the current format.
TEST(RunFile, ReadsTheStoredCheckpointOfFormat2) {
  const std::string stored = stored_format2();
  ASSERT_GT(stored.size(), 1000u);
  const RunFile read = decode_run_file(stored);
  EXPECT_TRUE(read.state.parameters == stored_answers());
  EXPECT_EQ(read.tick_count, 77);
  EXPECT_EQ(read.state.generation, 31);
  EXPECT_EQ(read.state.remaining, 30);
  EXPECT_TRUE(read.abundance.has_value());
  EXPECT_GT(read.results.length, 0);
  EXPECT_EQ(read.genomes_every, 0);
  EXPECT_GT(read.state.population.size(), 0u);
  const std::string again = encode_run_file(read);
  EXPECT_EQ(again.size(), stored.size() + sizeof(std::int32_t));
  expect_same(decode_run_file(again), read);
}

TEST(RunFile, EveryDamagedByteOrLengthIsRefused) {
  const std::string bytes = encode_run_file(run_file_after(1, report::FileMark{60, 2}, 10));
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    std::string damaged = bytes;
    damaged[at] ^= 0x01;
    EXPECT_THROW(decode_run_file(damaged), model::CheckpointError) << "byte " << at;
  }
  for (std::size_t length = 0; length < bytes.size(); length += 7) {
    EXPECT_THROW(decode_run_file(bytes.substr(0, length)), model::CheckpointError) << length;
  }
  EXPECT_THROW(decode_run_file(bytes + "x"), model::CheckpointError);
}

// The version follows the magic line and is outside the checksum, so a file of another
// version is refused for its version, with a reason a user can act on.
TEST(RunFile, OtherVersionsAreRefusedByName) {
  const std::string bytes = encode_run_file(run_file_after(2, std::nullopt, 0));
  const std::size_t version_at = std::string_view("PARASIM CHECKPOINT\n").size();
  const std::vector<std::pair<std::uint32_t, std::string>> cases = {
      {1, "earlier version of parasim"},
      {4, "later version of parasim (format 4)"},
      {0xffffffffu, "later version"}};
  for (const auto& [version, reason] : cases) {
    std::string other = bytes;
    std::memcpy(other.data() + version_at, &version, sizeof version);
    try {
      decode_run_file(other);
      ADD_FAILURE() << "version " << version << " taken";
    } catch (const model::CheckpointError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(decode_run_file("PARASIM PYTHON SIMULATION\n"), model::CheckpointError);
}

}  // namespace
}  // namespace parasim::app
