#include "saved_run.hpp"

#include <cstring>

#include "model/byte_digest.hpp"

namespace parasim::python {

namespace {

constexpr char magic[] = "PARASIM PYTHON SIMULATION\n";
constexpr std::size_t magic_length = sizeof magic - 1;
constexpr std::uint32_t format_version = 1;
constexpr std::size_t row_bytes = 4 * sizeof(std::int32_t) + 3 * sizeof(double) + sizeof(std::int64_t);

template <typename T>
void put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

class Reader {
 public:
  Reader(const std::string& bytes, std::size_t at, std::size_t end)
      : bytes_(bytes), at_(at), end_(end) {}
  template <typename T>
  T take() {
    if (end_ - at_ < sizeof(T)) {
      throw model::CheckpointError("the saved simulation ends too early");
    }
    T value;
    std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::size_t at() const { return at_; }
  std::size_t left() const { return end_ - at_; }

 private:
  const std::string& bytes_;
  std::size_t at_;
  std::size_t end_;
};

void require(bool condition, const char* what) {
  if (!condition) {
    throw model::CheckpointError(std::string("the saved simulation is inconsistent: ") + what);
  }
}

}  // namespace

std::string encode_saved_run(const model::Checkpoint& checkpoint,
                             std::span<const AbundanceEntry> abundance) {
  std::string body;
  put(body, format_version);
  const std::string core = model::encode_checkpoint(checkpoint);
  put(body, static_cast<std::uint64_t>(core.size()));
  body += core;
  put(body, static_cast<std::uint64_t>(abundance.size()));
  for (const AbundanceEntry& entry : abundance) {
    put(body, entry.generation);
    put(body, entry.row.species);
    put(body, entry.row.label);
    put(body, entry.row.host);
    put(body, entry.row.host_phenotype);
    put(body, entry.row.count);
    put(body, entry.row.phenotype_mean);
    put(body, entry.row.phenotype_sd);
  }
  std::string bytes(magic, magic_length);
  bytes += body;
  put(bytes, model::extend_digest(model::empty_digest, body.data(), body.size()));
  return bytes;
}

SavedRun decode_saved_run(const std::string& bytes) {
  SavedRun saved;
  if (bytes.size() < magic_length || bytes.compare(0, magic_length, magic) != 0) {
    // Not ours: the console program's checkpoint, or refused by its reader.
    saved.checkpoint = model::decode_checkpoint(bytes);
    return saved;
  }
  if (bytes.size() < magic_length + sizeof(std::uint64_t)) {
    throw model::CheckpointError("the saved simulation ends too early");
  }
  const std::size_t body_end = bytes.size() - sizeof(std::uint64_t);
  std::uint64_t stored;
  std::memcpy(&stored, bytes.data() + body_end, sizeof stored);
  if (model::extend_digest(model::empty_digest, bytes.data() + magic_length,
                           body_end - magic_length) != stored) {
    throw model::CheckpointError("the saved simulation is corrupt (its checksum does not match)");
  }
  Reader in(bytes, magic_length, body_end);
  if (in.take<std::uint32_t>() != format_version) {
    throw model::CheckpointError("the simulation was saved by another version of parasim");
  }
  const auto core_size = in.take<std::uint64_t>();
  require(core_size <= in.left(), "a checkpoint longer than the whole");
  saved.checkpoint = model::decode_checkpoint(bytes.substr(in.at(), core_size));
  Reader rows(bytes, in.at() + core_size, body_end);
  const auto count = rows.take<std::uint64_t>();
  require(count == rows.left() / row_bytes && rows.left() % row_bytes == 0,
          "an abundance table of the wrong size");
  saved.abundance.resize(count);
  const auto species_count = static_cast<std::int32_t>(saved.checkpoint.species.size());
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
    require(entry.generation >= previous_generation &&
                entry.generation < saved.checkpoint.generation && entry.row.species >= 1 &&
                entry.row.species <= species_count && entry.row.host >= 1 &&
                entry.row.host <= saved.checkpoint.parameters.host_count && entry.row.count >= 1,
            "abundance rows that do not belong to the run");
    previous_generation = entry.generation;
  }
  return saved;
}

}  // namespace parasim::python
