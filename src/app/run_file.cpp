#include "app/run_file.hpp"

#include "report/byte_digest.hpp"

namespace parasim::app {

namespace {

using model::ByteReader;
using model::ByteWriter;
using model::CheckpointError;

constexpr char magic[] = "PARASIM CHECKPOINT\n";
constexpr std::size_t magic_length = sizeof magic - 1;
// Version 2 added the species history and the digests of the files the run appends to;
// version 3 the genomes cadence; version 4 the genetics cadence and marks and each species'
// hosts at its birth.
constexpr std::uint32_t format_version = 4;
constexpr std::uint32_t oldest_readable_version = 2;

std::uint64_t checksum_of(const char* data, std::size_t size) {
  return report::extend_digest(report::empty_digest, data, size);
}

void put_mark(ByteWriter& out, const report::FileMark& mark) {
  out.put(mark.length);
  out.put(mark.digest);
}

report::FileMark take_mark(ByteReader& in, const char* file) {
  report::FileMark mark;
  mark.length = in.take<std::int64_t>();
  mark.digest = in.take<std::uint64_t>();
  if (mark.length < 0) {
    throw CheckpointError(std::string("the checkpoint is inconsistent: a negative ") + file +
                          " length");
  }
  return mark;
}

}  // namespace

std::string encode_run_file(const RunFile& run_file) {
  ByteWriter out;
  model::put_parameters(out, run_file.state.parameters);
  out.put(run_file.tick_count);
  model::put_position(out, run_file.state);
  put_mark(out, run_file.results);
  out.put(static_cast<std::uint8_t>(run_file.abundance ? 1 : 0));
  if (run_file.abundance) {
    put_mark(out, *run_file.abundance);
  }
  out.put(run_file.genomes_every);
  out.put(run_file.genetics ? run_file.genetics->every : 0);
  if (run_file.genetics) {
    put_mark(out, run_file.genetics->marks.divergence);
    put_mark(out, run_file.genetics->marks.groups);
  }
  model::put_world(out, run_file.state);
  const std::string& payload = out.bytes();

  ByteWriter file;
  file.bytes().append(magic, magic_length);
  file.put(format_version);
  file.put(static_cast<std::uint64_t>(payload.size()));
  file.bytes() += payload;
  file.put(checksum_of(payload.data(), payload.size()));
  return std::move(file.bytes());
}

RunFile decode_run_file(const std::string& bytes) {
  if (bytes.size() < magic_length || bytes.compare(0, magic_length, magic) != 0) {
    throw CheckpointError("this is not a parasim checkpoint");
  }
  ByteReader header(bytes.data() + magic_length, bytes.size() - magic_length);
  const auto version = header.take<std::uint32_t>();
  if (version < oldest_readable_version) {
    throw CheckpointError(
        "the checkpoint was written by an earlier version of parasim, whose checkpoints this "
        "version cannot resume: run again from the start");
  }
  if (version > format_version) {
    throw CheckpointError("the checkpoint was written by a later version of parasim (format " +
                          std::to_string(version) + "), which this version cannot read");
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
  RunFile run_file;
  run_file.state.parameters = model::take_parameters(in);
  run_file.tick_count = in.take<std::int32_t>();
  if (run_file.tick_count < 0) {
    throw CheckpointError("the checkpoint is inconsistent: a negative tick count");
  }
  model::take_position(in, run_file.state);
  run_file.results = take_mark(in, "results file");
  if (in.take<std::uint8_t>() != 0) {
    run_file.abundance = take_mark(in, "history file");
  }
  if (version >= 3) {
    run_file.genomes_every = in.take<std::int32_t>();
    if (run_file.genomes_every < 0) {
      throw CheckpointError("the checkpoint is inconsistent: a negative genomes cadence");
    }
  }
  if (version >= 4) {
    const auto genetics_every = in.take<std::int32_t>();
    if (genetics_every < 0 || (genetics_every > 0 && !run_file.abundance)) {
      throw CheckpointError(
          "the checkpoint is inconsistent: a genetics cadence without a species history");
    }
    if (genetics_every > 0) {
      GeneticsProgress genetics{genetics_every, {}};
      genetics.marks.divergence = take_mark(in, "divergence table");
      genetics.marks.groups = take_mark(in, "groups table");
      run_file.genetics = genetics;
    }
  }
  model::take_world(
      in, run_file.state,
      version >= 4 ? model::SpeciesBytes::with_hosts : model::SpeciesBytes::without_hosts);
  if (in.left() != 0) {
    throw CheckpointError("the checkpoint is inconsistent: a population of the wrong size");
  }
  return run_file;
}

}  // namespace parasim::app
