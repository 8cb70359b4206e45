#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/host_table.hpp"
#include "model/parameters.hpp"
#include "model/population.hpp"
#include "random/generator.hpp"
#include "species/species_history.hpp"

namespace parasim::model {

// The state of a run between two generations, all that the model needs to go on exactly where
// it stopped: the parameters, the generation counters, the generator's state, the species so
// far, the population and the hosts. The seed it was started from and the files it writes are
// the front end's to record beside it.
struct Checkpoint {
  Parameters parameters;
  std::int32_t generation = 1;  // the generation that runs next
  std::int32_t remaining = 0;
  random::Generator::State generator;
  std::vector<species::SpeciesRecord> species;
  Population population;
  HostTable hosts;
};

// Bytes that cannot be read back as a state: truncated, corrupt, of another version, or
// inconsistent with themselves.
class CheckpointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Fixed-width values appended as bytes in the machine's order, as checkpoints store them.
class ByteWriter {
 public:
  template <typename T>
  void put(T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out_.append(bytes, sizeof(T));
  }
  std::string& bytes() { return out_; }

 private:
  std::string out_;
};

// Reads ByteWriter's values back in order; running past the end is a CheckpointError.
class ByteReader {
 public:
  ByteReader(const char* data, std::size_t size) : data_(data), size_(size) {}

  template <typename T>
  T take() {
    if (size_ - at_ < sizeof(T)) {
      throw CheckpointError("the checkpoint ends too early");
    }
    T value;
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::size_t at() const { return at_; }
  std::size_t left() const { return size_ - at_; }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The state's bytes come in three pieces, written and read in this order, so that a file can
// lay fields of its own between them. Each take_ checks what it reads against the pieces
// before it and throws CheckpointError for a state no run can be in.

// The ten answers in the order asked, each in its own type.
void put_parameters(ByteWriter& out, const Parameters& parameters);
Parameters take_parameters(ByteReader& in);

// Where the run stands: the generation that runs next, the generations left, the generator.
void put_position(ByteWriter& out, const Checkpoint& checkpoint);
void take_position(ByteReader& in, Checkpoint& checkpoint);

// What the bytes of a species hold: states written before the hosts at each species' birth were
// kept hold none, and read back with those hosts unknown (0).
enum class SpeciesBytes { without_hosts, with_hosts };

// The species so far and the population; the hosts are rebuilt from the parameters and the
// population. put_world writes the species with their hosts.
void put_world(ByteWriter& out, const Checkpoint& checkpoint);
void take_world(ByteReader& in, Checkpoint& checkpoint,
                SpeciesBytes species_bytes = SpeciesBytes::with_hosts);

}  // namespace parasim::model
