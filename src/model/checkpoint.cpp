#include "model/checkpoint.hpp"

#include <algorithm>
#include <bit>

#include "model/allocation_failure.hpp"
#include "model/initial_world.hpp"

namespace parasim::model {

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    throw CheckpointError(std::string("the checkpoint is inconsistent: ") + what);
  }
}

}  // namespace

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
  require(!parameter_refusal(p), "its parameters describe no world");
  return p;
}

void put_position(ByteWriter& out, const Checkpoint& c) {
  out.put(c.generation);
  out.put(c.remaining);
  out.put(c.generator.x);
  out.put(c.generator.y);
  out.put(c.generator.z);
  out.put(c.generator.w);
}

void take_position(ByteReader& in, Checkpoint& c) {
  c.generation = in.take<std::int32_t>();
  c.remaining = in.take<std::int32_t>();
  require(c.generation >= 1 && c.remaining >= 0, "negative counters");
  require(static_cast<std::int64_t>(c.generation) - 1 + c.remaining ==
              std::max<std::int64_t>(c.parameters.generations, 0),
          "generation counters that do not add up");
  c.generator.x = in.take<std::uint32_t>();
  c.generator.y = in.take<std::uint32_t>();
  c.generator.z = in.take<std::uint32_t>();
  c.generator.w = in.take<std::uint32_t>();
}

void put_world(ByteWriter& out, const Checkpoint& c) {
  out.put(static_cast<std::uint64_t>(c.species.size()));
  for (const species::SpeciesRecord& record : c.species) {
    out.put(record.species);
    out.put(record.label);
    out.put(record.parent);
    out.put(record.born);
    out.put(record.size_at_birth);
    out.put(record.last_seen);
    out.put(static_cast<std::uint8_t>(record.extant ? 1 : 0));
    out.put(record.birth_host);
    out.put(record.parent_host);
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
}

// The species so far: numbered 1, 2, ... in order, each born before the generation that runs
// next, to a parent born before it. Then the population, grouped by host.
void take_world(ByteReader& in, Checkpoint& c, SpeciesBytes species_bytes) {
  const bool with_hosts = species_bytes == SpeciesBytes::with_hosts;
  const auto count = in.take<std::uint64_t>();
  const std::size_t record_bytes = (with_hosts ? 8 : 6) * sizeof(std::int32_t) + 1;
  require(count <= in.left() / record_bytes, "a species table of the wrong size");
  const std::int32_t host_count = c.parameters.host_count;
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
    if (with_hosts) {
      record.birth_host = in.take<std::int32_t>();
      record.parent_host = in.take<std::int32_t>();
    }
    // A host at birth is 0 where it is not known, and the parent's also for species 1.
    require(record.birth_host >= 0 && record.birth_host <= host_count && record.parent_host >= 0 &&
                record.parent_host <= host_count && (i != 0 || record.parent_host == 0),
            "a species table with hosts outside the host line");
    require(record.species == static_cast<std::int32_t>(i) + 1 && record.label >= 1 &&
                record.parent >= 0 && record.parent < record.species &&
                (i == 0) == (record.parent == 0) && record.born >= 1 &&
                record.born <= record.last_seen && record.last_seen < c.generation &&
                record.size_at_birth >= 1 && extant <= 1,
            "a species table that does not add up");
    record.extant = extant == 1;
  }

  const Parameters& p = c.parameters;
  const auto rows = in.take<std::uint64_t>();
  c.population = Population(p.genome_size);
  const std::size_t words = c.population.words_per_genome();
  const std::size_t row_bytes = 2 * sizeof(std::int32_t) + words * sizeof(std::uint64_t);
  require(rows <= in.left() / row_bytes, "a population of the wrong size");
  allocate("population", [&] { c.population.resize(static_cast<std::size_t>(rows)); });

  const DerivedValues derived = derive_values(p);
  // The founders carried half the loci, rounded up (in 64 bits, for the largest genome).
  c.hosts = build_host_line(p, derived, phenotype_of((std::int64_t{p.genome_size} + 1) / 2));
  std::fill(c.hosts.host_load.begin(), c.hosts.host_load.end(), 0);
  // Bits of the last word past the genome (0 ... 63); in 64 bits, for the largest genome.
  const auto spare_bits = static_cast<std::int64_t>(words * 64) - p.genome_size;
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
    require(words == 0 || spare_bits == 0 ||
                c.population.genome(row)[words - 1] >> (64 - spare_bits) == 0,
            "loci beyond the genome");
    c.population.phenotype(row) = phenotype_of(ones);
  }
}

}  // namespace parasim::model
