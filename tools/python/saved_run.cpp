#include "saved_run.hpp"

#include "report/byte_digest.hpp"

namespace parasim::python {

namespace {

constexpr char magic[] = "PARASIM PYTHON SIMULATION\n";
constexpr std::size_t magic_length = sizeof magic - 1;
constexpr std::uint32_t format_version = 1;
constexpr std::size_t row_bytes =
    4 * sizeof(std::int32_t) + 3 * sizeof(double) + sizeof(std::int64_t);

std::uint64_t checksum_of(const char* data, std::size_t size) {
  return report::extend_digest(report::empty_digest, data, size);
}

void require(bool condition, const char* what) {
  if (!condition) {
    throw model::CheckpointError(std::string("the saved simulation is inconsistent: ") + what);
  }
}

}  // namespace

std::string encode_saved_run(const app::RunFile& run_file,
                             std::span<const AbundanceEntry> abundance) {
  model::ByteWriter body;
  body.put(format_version);
  const std::string core = app::encode_run_file(run_file);
  body.put(static_cast<std::uint64_t>(core.size()));
  body.bytes() += core;
  body.put(static_cast<std::uint64_t>(abundance.size()));
  for (const AbundanceEntry& entry : abundance) {
    body.put(entry.generation);
    body.put(entry.row.species);
    body.put(entry.row.label);
    body.put(entry.row.host);
    body.put(entry.row.host_phenotype);
    body.put(entry.row.count);
    body.put(entry.row.phenotype_mean);
    body.put(entry.row.phenotype_sd);
  }
  model::ByteWriter file;
  file.bytes().append(magic, magic_length);
  file.bytes() += body.bytes();
  file.put(checksum_of(body.bytes().data(), body.bytes().size()));
  return std::move(file.bytes());
}

SavedRun decode_saved_run(const std::string& bytes) {
  SavedRun saved;
  if (bytes.size() < magic_length || bytes.compare(0, magic_length, magic) != 0) {
    // Not ours: the console program's checkpoint, or refused by its reader.
    saved.run_file = app::decode_run_file(bytes);
    return saved;
  }
  if (bytes.size() < magic_length + sizeof(std::uint64_t)) {
    throw model::CheckpointError("the saved simulation ends too early");
  }
  const std::size_t body_end = bytes.size() - sizeof(std::uint64_t);
  std::uint64_t stored;
  std::memcpy(&stored, bytes.data() + body_end, sizeof stored);
  if (checksum_of(bytes.data() + magic_length, body_end - magic_length) != stored) {
    throw model::CheckpointError("the saved simulation is corrupt (its checksum does not match)");
  }
  model::ByteReader in(bytes.data() + magic_length, body_end - magic_length);
  if (in.take<std::uint32_t>() != format_version) {
    throw model::CheckpointError("the simulation was saved by another version of parasim");
  }
  const auto core_size = in.take<std::uint64_t>();
  require(core_size <= in.left(), "a checkpoint longer than the whole");
  saved.run_file = app::decode_run_file(bytes.substr(magic_length + in.at(), core_size));
  model::ByteReader rows(bytes.data() + magic_length + in.at() + core_size, in.left() - core_size);
  const auto count = rows.take<std::uint64_t>();
  require(count == rows.left() / row_bytes && rows.left() % row_bytes == 0,
          "an abundance table of the wrong size");
  saved.abundance.resize(count);
  const model::Checkpoint& state = saved.run_file.state;
  const auto species_count = static_cast<std::int32_t>(state.species.size());
  std::int32_t previous_generation = 0;
  for (AbundanceEntry& entry : saved.abundance) {
    entry.generation = rows.take<std::int32_t>();
    entry.row.species = rows.take<std::int32_t>();
    entry.row.label = rows.take<std::int32_t>();
    entry.row.host = rows.take<std::int32_t>();
    entry.row.host_phenotype = rows.take<double>();
    entry.row.count = rows.take<std::int64_t>();
    entry.row.phenotype_mean = rows.take<double>();
    entry.row.phenotype_sd = rows.take<double>();
    require(entry.generation >= previous_generation && entry.generation < state.generation &&
                entry.row.species >= 1 && entry.row.species <= species_count &&
                entry.row.host >= 1 && entry.row.host <= state.parameters.host_count &&
                entry.row.count >= 1,
            "abundance rows that do not belong to the run");
    previous_generation = entry.generation;
  }
  return saved;
}

}  // namespace parasim::python
