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

// tests/data/README.md tells how they were made.
std::string stored(const char* name) {
  std::ifstream file(std::filesystem::path(PARASIM_TESTS_DIR) / "data" / name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

model::Parameters stored_answers() {
  return {60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 60};
}

// A run file of a run some generations in, with every field set.
RunFile run_file_after(std::int32_t generations, std::optional<report::FileMark> abundance,
                       std::int32_t genomes_every,
                       std::optional<GeneticsProgress> genetics = std::nullopt) {
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
  run_file.genetics = genetics;
  return run_file;
}

void expect_same(const RunFile& a, const RunFile& b) {
  EXPECT_EQ(a.tick_count, b.tick_count);
  EXPECT_EQ(a.results, b.results);
  EXPECT_EQ(a.abundance, b.abundance);
  EXPECT_EQ(a.genomes_every, b.genomes_every);
  EXPECT_EQ(a.genetics.has_value(), b.genetics.has_value());
  if (a.genetics && b.genetics) {
    EXPECT_EQ(a.genetics->every, b.genetics->every);
    EXPECT_EQ(a.genetics->marks, b.genetics->marks);
  }
  EXPECT_TRUE(a.state.parameters == b.state.parameters);
  EXPECT_EQ(a.state.generation, b.state.generation);
  EXPECT_EQ(a.state.generator, b.state.generator);
  ASSERT_EQ(a.state.species.size(), b.state.species.size());
  for (std::size_t i = 0; i < a.state.species.size(); ++i) {
    EXPECT_EQ(a.state.species[i].birth_host, b.state.species[i].birth_host);
    EXPECT_EQ(a.state.species[i].parent_host, b.state.species[i].parent_host);
  }
  EXPECT_EQ(a.state.population.size(), b.state.population.size());
  EXPECT_EQ(a.state.hosts.host_load, b.state.hosts.host_load);
}

TEST(RunFile, ReadsBackWhatItWrote) {
  struct Case {
    std::optional<report::FileMark> abundance;
    std::int32_t genomes_every;
    std::optional<GeneticsProgress> genetics;
  };
  const GeneticsProgress genetics{5, {{123, 45}, {678, 90}}};
  for (const Case& c :
       {Case{std::nullopt, 0, std::nullopt}, Case{report::FileMark{4567, 89}, 25, std::nullopt},
        Case{report::FileMark{4567, 89}, 0, genetics}}) {
    const RunFile written = run_file_after(60, c.abundance, c.genomes_every, c.genetics);
    ASSERT_GT(written.state.species.size(), 1u) << "the run should split";
    const std::string bytes = encode_run_file(written);
    const RunFile read = decode_run_file(bytes);
    expect_same(read, written);
    EXPECT_EQ(encode_run_file(read), bytes);
  }
}

// Checkpoints of earlier formats still resume: format 2 (before the genomes cadence was
// recorded) and 3 (before the genetics and the species' hosts at birth). Each stored one reads
// as the run it came from, its species' hosts unknown, and written again it is of the current
// format: a genetics cadence and two hosts per species more.
TEST(RunFile, ReadsTheStoredCheckpointsOfEarlierFormats) {
  struct Stored {
    const char* file;
    std::int32_t generation;
    std::int32_t genomes_every;
    std::size_t added_bytes;  // before the species' hosts
  };
  for (const Stored& old : {Stored{"checkpoint_format2.ckpt", 31, 0, 2 * sizeof(std::int32_t)},
                            Stored{"checkpoint_format3.ckpt", 51, 20, sizeof(std::int32_t)}}) {
    SCOPED_TRACE(old.file);
    const std::string bytes = stored(old.file);
    ASSERT_GT(bytes.size(), 1000u);
    const RunFile read = decode_run_file(bytes);
    EXPECT_TRUE(read.state.parameters == stored_answers());
    EXPECT_EQ(read.tick_count, 77);
    EXPECT_EQ(read.state.generation, old.generation);
    EXPECT_EQ(read.state.remaining, 61 - old.generation);
    EXPECT_TRUE(read.abundance.has_value());
    EXPECT_GT(read.results.length, 0);
    EXPECT_EQ(read.genomes_every, old.genomes_every);
    EXPECT_FALSE(read.genetics.has_value());
    EXPECT_GT(read.state.population.size(), 0u);
    for (const species::SpeciesRecord& record : read.state.species) {
      EXPECT_EQ(std::make_pair(record.birth_host, record.parent_host), std::make_pair(0, 0));
    }
    const std::string again = encode_run_file(read);
    EXPECT_EQ(again.size(), bytes.size() + old.added_bytes +
                                read.state.species.size() * 2 * sizeof(std::int32_t));
    expect_same(decode_run_file(again), read);
  }
}

// The genetics tables go with a history, and every host lies on the host line.
TEST(RunFile, RefusesStatesNoRunCanBeIn) {
  const RunFile good = run_file_after(60, report::FileMark{60, 2}, 0);
  ASSERT_GT(good.state.species.size(), 1u);
  RunFile without_history = run_file_after(3, std::nullopt, 0, GeneticsProgress{5, {}});
  std::vector<RunFile> bad = {without_history, good, good, good};
  bad[1].state.species[1].birth_host = good.state.parameters.host_count + 1;
  bad[2].state.species[1].parent_host = -1;
  bad[3].state.species[0].parent_host = 1;
  for (const RunFile& run_file : bad) {
    EXPECT_THROW(decode_run_file(encode_run_file(run_file)), model::CheckpointError);
  }
  EXPECT_NO_THROW(decode_run_file(encode_run_file(good)));
}

TEST(RunFile, EveryDamagedByteOrLengthIsRefused) {
  const std::string bytes = encode_run_file(
      run_file_after(1, report::FileMark{60, 2}, 10, GeneticsProgress{3, {{5, 6}, {7, 8}}}));
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
      {5, "later version of parasim (format 5)"},
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
