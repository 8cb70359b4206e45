#include "model/checkpoint.hpp"

#include <bit>
#include <cstring>
#include <limits>

#include "model/allocation_failure.hpp"
#include "model/byte_digest.hpp"
#include "model/initial_world.hpp"

namespace parasim::model {

namespace {

constexpr char magic[] = "PARASIM CHECKPOINT\n";
constexpr std::size_t magic_length = sizeof magic - 1;
// Version 2 added the species history and the digests of the files the run appends to.
constexpr std::uint32_t format_version = 2;

std::uint64_t checksum_of(const char* data, std::size_t size) {
  return extend_digest(empty_digest, data, size);
}

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
  std::size_t left() const { return size_ - at_; }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The ten answers in the order asked, each in its own type.
void put_parameters(ByteWriter& out, const Parameters& p) {
  for (const ParameterField& field : parameter_fields) {
    if (field.type == AnswerType::integer) {
      out.put(p.*field.integer);
    } else {
      out.put(p.*field.real);
    }
  }
}

Parameters take_parameters(ByteReader& in) {
  Parameters p;
  for (const ParameterField& field : parameter_fields) {
    if (field.type == AnswerType::integer) {
      p.*field.integer = in.take<std::int32_t>();
    } else {
      p.*field.real = in.take<double>();
    }
  }
  return p;
}

void put_mark(ByteWriter& out, const FileMark& mark) {
  out.put(mark.length);
  out.put(mark.digest);
}

FileMark take_mark(ByteReader& in) {
  FileMark mark;
  mark.length = in.take<std::int64_t>();
  mark.digest = in.take<std::uint64_t>();
  return mark;
}

void require(bool condition, const char* what) {
  if (!condition) {
    throw CheckpointError(std::string("the checkpoint is inconsistent: ") + what);
  }
}

// The species so far: numbered 1, 2, ... in order, each born before the generation that runs
// next, to a parent born before it.
void take_species(ByteReader& in, Checkpoint& c) {
  const auto count = in.take<std::uint64_t>();
  constexpr std::size_t record_bytes = 6 * sizeof(std::int32_t) + 1;
  require(count <= in.left() / record_bytes, "a species table of the wrong size");
  c.species.resize(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < c.species.size(); ++i) {
    species::SpeciesRecord& record = c.species[i];
    record.species = in.take<std::int32_t>();
    record.label = in.take<std::int32_t>();
    record.parent = in.take<std::int32_t>();
    record.born = in.take<std::int32_t>();
    record.size_at_birth = in.take<std::int32_t>();
    record.last_seen = in.take<std::int32_t>();
    const auto extant = in.take<std::uint8_t>();
    require(record.species == static_cast<std::int32_t>(i) + 1 && record.label >= 1 &&
                record.parent >= 0 && record.parent < record.species &&
                (i == 0) == (record.parent == 0) && record.born >= 1 &&
                record.born <= record.last_seen && record.last_seen < c.generation &&
                record.size_at_birth >= 1 && extant <= 1,
            "a species table that does not add up");
    record.extant = extant == 1;
  }
}

}  // namespace

std::string encode_checkpoint(const Checkpoint& c) {
  ByteWriter out;
  put_parameters(out, c.parameters);
  out.put(c.tick_count);
  out.put(c.generation);
  out.put(c.remaining);
  out.put(c.generator.x);
  out.put(c.generator.y);
  out.put(c.generator.z);
  out.put(c.generator.w);
  put_mark(out, c.results);
  out.put(static_cast<std::uint8_t>(c.abundance ? 1 : 0));
  if (c.abundance) {
    put_mark(out, *c.abundance);
  }
  out.put(static_cast<std::uint64_t>(c.species.size()));
  for (const species::SpeciesRecord& record : c.species) {
    out.put(record.species);
    out.put(record.label);
    out.put(record.parent);
    out.put(record.born);
    out.put(record.size_at_birth);
    out.put(record.last_seen);
    out.put(static_cast<std::uint8_t>(record.extant ? 1 : 0));
  }
  const Population& population = c.population;
  out.put(static_cast<std::uint64_t>(population.size()));
  for (std::size_t row = 0; row < population.size(); ++row) {
    out.put(population.species_id(row));
    out.put(population.host_id(row));
    for (std::size_t w = 0; w < population.words_per_genome(); ++w) {
      out.put(population.genome(row)[w]);
    }
  }
  const std::string& payload = out.bytes();

  ByteWriter file;
  file.bytes().append(magic, magic_length);
  file.put(format_version);
  file.put(static_cast<std::uint64_t>(payload.size()));
  file.bytes() += payload;
  file.put(checksum_of(payload.data(), payload.size()));
  return std::move(file.bytes());
}

Checkpoint decode_checkpoint(const std::string& bytes) {
  if (bytes.size() < magic_length || bytes.compare(0, magic_length, magic) != 0) {
    throw CheckpointError("this is not a parasim checkpoint");
  }
  ByteReader header(bytes.data() + magic_length, bytes.size() - magic_length);
  const auto version = header.take<std::uint32_t>();
  if (version < format_version) {
    throw CheckpointError(
        "the checkpoint was written by an earlier version of parasim, whose checkpoints this "
        "version cannot resume: run again from the start");
  }
  if (version != format_version) {
    throw CheckpointError("the checkpoint was written by another version of parasim");
  }
  const auto payload_size = header.take<std::uint64_t>();
  if (header.left() != payload_size + sizeof(std::uint64_t) || payload_size > header.left()) {
    throw CheckpointError("the checkpoint is truncated or has trailing bytes");
  }
  const char* payload = bytes.data() + (bytes.size() - header.left());
  std::uint64_t stored_checksum;
  std::memcpy(&stored_checksum, payload + payload_size, sizeof stored_checksum);
  if (checksum_of(payload, payload_size) != stored_checksum) {
    throw CheckpointError("the checkpoint is corrupt (its checksum does not match)");
  }

  ByteReader in(payload, payload_size);
  Checkpoint c;
  c.parameters = take_parameters(in);
  const Parameters& p = c.parameters;
  require(!parameter_refusal(p), "its parameters describe no world");
  c.tick_count = in.take<std::int32_t>();
  c.generation = in.take<std::int32_t>();
  c.remaining = in.take<std::int32_t>();
  require(c.tick_count >= 0 && c.generation >= 1 && c.remaining >= 0, "negative counters");
  require(static_cast<std::int64_t>(c.generation) - 1 + c.remaining ==
              std::max<std::int64_t>(p.generations, 0),
          "generation counters that do not add up");
  c.generator.x = in.take<std::uint32_t>();
  c.generator.y = in.take<std::uint32_t>();
  c.generator.z = in.take<std::uint32_t>();
  c.generator.w = in.take<std::uint32_t>();
  c.results = take_mark(in);
  require(c.results.length >= 0, "a negative results file length");
  if (in.take<std::uint8_t>() != 0) {
    c.abundance = take_mark(in);
    require(c.abundance->length >= 0, "a negative history file length");
  }
  take_species(in, c);

  const auto rows = in.take<std::uint64_t>();
  c.population = Population(p.genome_size);
  const std::size_t words = c.population.words_per_genome();
  const std::size_t row_bytes = 2 * sizeof(std::int32_t) + words * sizeof(std::uint64_t);
  require(rows <= in.left() / row_bytes && in.left() == rows * row_bytes,
          "a population of the wrong size");
  allocate("population", [&] { c.population.resize(static_cast<std::size_t>(rows)); });

  const DerivedValues derived = derive_values(p);
  c.hosts = build_host_line(p, derived, phenotype_of((p.genome_size + 1) / 2));
  std::fill(c.hosts.host_load.begin(), c.hosts.host_load.end(), 0);
  const int spare_bits = static_cast<int>(words * 64) - p.genome_size;
  std::int32_t previous_host = 1;
  for (std::size_t row = 0; row < rows; ++row) {
    c.population.species_id(row) = in.take<std::int32_t>();
    const auto host = in.take<std::int32_t>();
    require(c.population.species_id(row) >= 1, "a species label below 1");
    require(host >= previous_host && host <= p.host_count, "rows not grouped by host");
    previous_host = host;
    c.population.host_id(row) = host;
    ++c.hosts.host_load[static_cast<std::size_t>(host - 1)];
    std::int64_t ones = 0;
    for (std::size_t w = 0; w < words; ++w) {
      const auto word = in.take<std::uint64_t>();
      c.population.genome(row)[w] = word;
      ones += std::popcount(word);
    }
    require(words == 0 || spare_bits == 0 || c.population.genome(row)[words - 1] >> (64 - spare_bits) == 0,
            "loci beyond the genome");
    c.population.phenotype(row) = phenotype_of(ones);
  }
  return c;
}

}  // namespace parasim::model
