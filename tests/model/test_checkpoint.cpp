#include "model/checkpoint.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <tuple>

#include "model/generation_driver.hpp"
#include "model/initial_world.hpp"
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

// The three pieces back to back, as a file without fields of its own would hold them.
std::string state_bytes(const Checkpoint& checkpoint) {
  ByteWriter out;
  put_parameters(out, checkpoint.parameters);
  put_position(out, checkpoint);
  put_world(out, checkpoint);
  return std::move(out.bytes());
}

Checkpoint state_from(const std::string& bytes) {
  ByteReader in(bytes.data(), bytes.size());
  Checkpoint checkpoint;
  checkpoint.parameters = take_parameters(in);
  take_position(in, checkpoint);
  take_world(in, checkpoint);
  EXPECT_EQ(in.left(), 0u);
  return checkpoint;
}

void expect_same_state(const Simulation& a, const Simulation& b) {
  ASSERT_EQ(a.generator().state(), b.generator().state());
  ASSERT_EQ(a.generation(), b.generation());
  ASSERT_EQ(a.species_count(), b.species_count());
  ASSERT_EQ(a.history().species().size(), b.history().species().size());
  for (std::size_t i = 0; i < a.history().species().size(); ++i) {
    const species::SpeciesRecord& x = a.history().species()[i];
    const species::SpeciesRecord& y = b.history().species()[i];
    ASSERT_EQ(
        std::tie(x.species, x.label, x.parent, x.born, x.size_at_birth, x.last_seen, x.extant),
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

// A run restored from its state at any generation goes on exactly as the original: same
// reports, same state after every generation.
TEST(Checkpoint, RestoredRunGoesOnExactlyAsTheOriginal) {
  for (const std::int32_t genome_size : {0, 13, 64, 130}) {
    Simulation original(parameters_with_genome(genome_size), 4321);
    Recorder ignored;
    GenerationDriver original_driver(original, &ignored, {});
    for (int g = 0; g < 12 && !original.finished(); ++g) {
      original_driver.run_generation();
    }
    Simulation restored(state_from(state_bytes(original.checkpoint())));
    expect_same_state(original, restored);
    Recorder a;
    Recorder b;
    GenerationDriver going_on(original, &a, {});
    GenerationDriver restored_driver(restored, &b, {});
    while (!original.finished()) {
      going_on.run_generation();
      restored_driver.run_generation();
      expect_same_state(original, restored);
    }
    EXPECT_TRUE(restored.finished());
    EXPECT_EQ(a.text, b.text);
  }
}

// States that no run can be in are refused when read, each with the reason.
TEST(Checkpoint, StatesNoRunCanBeInAreRefused) {
  Simulation run(parameters_with_genome(20), 99);
  GenerationDriver driver(run, nullptr, {});
  for (int g = 0; g < 5; ++g) {
    driver.run_generation();
  }
  const Checkpoint good = run.checkpoint();
  ASSERT_GT(good.population.size(), 2u);
  ASSERT_GE(good.species.size(), 1u);
  const std::size_t last = good.population.size() - 1;
  struct Case {
    const char* reason;
    std::function<void(Checkpoint&)> damage;
  };
  const std::vector<Case> cases = {
      {"no world", [](Checkpoint& c) { c.parameters.host_count = 0; }},
      {"do not add up", [](Checkpoint& c) { ++c.remaining; }},
      {"negative counters", [](Checkpoint& c) { c.generation = 0; }},
      {"does not add up", [](Checkpoint& c) { c.species[0].last_seen = c.generation; }},
      {"does not add up", [](Checkpoint& c) { c.species[0].parent = 1; }},
      {"below 1", [](Checkpoint& c) { c.population.species_id(0) = 0; }},
      {"not grouped by host",
       [last](Checkpoint& c) { c.population.host_id(last) = c.population.host_id(0) - 1; }},
      {"not grouped by host", [](Checkpoint& c) { c.population.host_id(0) = 5; }},
      {"beyond the genome", [](Checkpoint& c) { c.population.genome(0)[0] |= 1ull << 40; }},
  };
  for (const Case& c : cases) {
    Checkpoint damaged = good;
    c.damage(damaged);
    try {
      state_from(state_bytes(damaged));
      ADD_FAILURE() << "taken: " << c.reason;
    } catch (const CheckpointError& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
  }
  const std::string bytes = state_bytes(good);
  EXPECT_NO_THROW(state_from(bytes));
  for (std::size_t length = 0; length < bytes.size(); length += 5) {
    EXPECT_THROW(state_from(bytes.substr(0, length)), CheckpointError) << length;
  }
}

// The largest genome a state can hold has its hosts placed around the founders' phenotype as
// any other has: its founders carried 2^30 loci (half of them, rounded up).
TEST(Checkpoint, TheLargestGenomeIsRestored) {
  Checkpoint state;
  state.parameters = parameters_with_genome(std::numeric_limits<std::int32_t>::max());
  state.remaining = state.parameters.generations;
  state.population = Population(state.parameters.genome_size);
  const HostTable founders_hosts = build_host_line(
      state.parameters, derive_values(state.parameters), phenotype_of(std::int64_t{1} << 30));
  EXPECT_EQ(state_from(state_bytes(state)).hosts.host_phenotype, founders_hosts.host_phenotype);
}

}  // namespace
}  // namespace parasim::model
