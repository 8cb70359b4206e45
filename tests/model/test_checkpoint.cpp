#include "model/checkpoint.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "model/simulation.hpp"
#include "model/small_world.hpp"

namespace parasim::model {
namespace {

class Recorder : public ReportSink {
 public:
  void report(std::int32_t generation, const Population& population, const HostTable&) override {
    text += std::to_string(generation) + ":" + std::to_string(population.size()) + ";";
  }
  std::string text;
};

Parameters parameters_with_genome(std::int32_t genome_size) {
  return testing::small_world(genome_size, 0.02, 30);
}

void expect_same_state(const Simulation& a, const Simulation& b) {
  ASSERT_EQ(a.generator().state(), b.generator().state());
  ASSERT_EQ(a.generation(), b.generation());
  ASSERT_EQ(a.species_count(), b.species_count());
  ASSERT_EQ(a.history().species().size(), b.history().species().size());
  for (std::size_t i = 0; i < a.history().species().size(); ++i) {
    const species::SpeciesRecord& x = a.history().species()[i];
    const species::SpeciesRecord& y = b.history().species()[i];
    ASSERT_EQ(std::tie(x.species, x.label, x.parent, x.born, x.size_at_birth, x.last_seen, x.extant),
              std::tie(y.species, y.label, y.parent, y.born, y.size_at_birth, y.last_seen, y.extant));
  }
  ASSERT_EQ(a.hosts().host_load, b.hosts().host_load);
  ASSERT_EQ(a.hosts().host_phenotype, b.hosts().host_phenotype);
  ASSERT_EQ(a.population().size(), b.population().size());
  for (std::size_t row = 0; row < a.population().size(); ++row) {
    ASSERT_EQ(a.population().species_id(row), b.population().species_id(row));
    ASSERT_EQ(a.population().host_id(row), b.population().host_id(row));
    ASSERT_EQ(a.population().phenotype(row), b.population().phenotype(row));
    for (std::size_t w = 0; w < a.population().words_per_genome(); ++w) {
      ASSERT_EQ(a.population().genome(row)[w], b.population().genome(row)[w]);
    }
  }
}

// A run restored from its checkpoint at any generation goes on exactly as the
// original: same reports, same state after every generation.
TEST(Checkpoint, RestoredRunGoesOnExactlyAsTheOriginal) {
  for (const std::int32_t genome_size : {0, 13, 64, 130}) {
    Simulation original(parameters_with_genome(genome_size), 4321);
    Recorder ignored;
    for (int g = 0; g < 12 && !original.finished(); ++g) {
      original.run_generation(ignored);
    }
    const FileMark results{1234, 0x1234567890abcdefULL};
    const std::optional<FileMark> abundance =
        genome_size == 13 ? std::nullopt : std::optional<FileMark>({77, 5});
    const std::string bytes = encode_checkpoint(original.checkpoint(4321, results, abundance));
    const Checkpoint decoded = decode_checkpoint(bytes);
    EXPECT_EQ(decoded.tick_count, 4321);
    EXPECT_EQ(decoded.results, results);
    EXPECT_EQ(decoded.abundance, abundance);
    Simulation restored{Checkpoint(decoded)};
    expect_same_state(original, restored);
    Recorder a;
    Recorder b;
    while (!original.finished()) {
      original.run_generation(a);
      restored.run_generation(b);
      expect_same_state(original, restored);
    }
    EXPECT_TRUE(restored.finished());
    EXPECT_EQ(a.text, b.text);
  }
}

TEST(Checkpoint, EveryDamagedByteOrLengthIsRefused) {
  Simulation run(parameters_with_genome(20), 99);
  Recorder ignored;
  run.run_generation(ignored);
  const std::string bytes = encode_checkpoint(run.checkpoint(99, {500, 1}, FileMark{60, 2}));
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    std::string damaged = bytes;
    damaged[at] ^= 0x01;
    EXPECT_THROW(decode_checkpoint(damaged), CheckpointError) << "byte " << at;
  }
  for (std::size_t length = 0; length < bytes.size(); length += 7) {
    EXPECT_THROW(decode_checkpoint(bytes.substr(0, length)), CheckpointError) << length;
  }
  EXPECT_THROW(decode_checkpoint(bytes + "x"), CheckpointError);
}

}  // namespace
}  // namespace parasim::model
