#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/host_table.hpp"
#include "model/parameters.hpp"
#include "model/population.hpp"
#include "random/generator.hpp"
#include "species/species_history.hpp"

namespace parasim::model {

// How far a file that the run appends to had got: its length and the digest of those bytes
// (byte_digest.hpp), so that a resumed run can tell its own file from another run's.
struct FileMark {
  std::int64_t length = 0;
  std::uint64_t digest = 0;
  friend bool operator==(const FileMark&, const FileMark&) = default;
};

// Everything a run needs to go on exactly where it stopped, between two generations:
// the parameters and seed it was started with, the generation counters, the
// generator's state, the species so far, the population, and how far the results file
// (and the species history's abundance table, when the run keeps one) had got.
struct Checkpoint {
  Parameters parameters;
  std::int32_t tick_count = 0;
  std::int32_t generation = 1;  // the generation that runs next
  std::int32_t remaining = 0;
  random::Generator::State generator;
  FileMark results;
  std::optional<FileMark> abundance;
  std::vector<species::SpeciesRecord> species;
  Population population;
  HostTable hosts;
};

// A checkpoint that cannot be read back: truncated, corrupt, of another version, or
// inconsistent with itself.
class CheckpointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The checkpoint as bytes: a magic line, a format version, the payload and a
// checksum of the payload.
std::string encode_checkpoint(const Checkpoint& checkpoint);

// Reads the bytes back, checking the magic line, the version, the checksum and that
// the state is one a run can be in. Throws CheckpointError.
Checkpoint decode_checkpoint(const std::string& bytes);

}  // namespace parasim::model
