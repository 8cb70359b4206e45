#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "model/host_table.hpp"
#include "model/parameters.hpp"
#include "model/population.hpp"
#include "random/generator.hpp"

namespace parasim::model {

// Everything a run needs to go on exactly where it stopped, between two generations:
// the parameters and seed it was started with, the generation counters, the
// generator's state, the population and the length the results file had then.
struct Checkpoint {
  Parameters parameters;
  std::int32_t tick_count = 0;
  std::int32_t generation = 1;  // the generation that runs next
  std::int32_t remaining = 0;
  std::int32_t species_count = 0;
  random::Generator::State generator;
  std::int64_t output_length = 0;
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
