// libFuzzer target: the reading of a checkpoint's run file (parasim --resume), on arbitrary
// bytes.
//
// Input: a whole checkpoint file when it begins with the checkpoint's magic line, so that the
// checks of the magic line, the version, the length and the checksum are fuzzed. Otherwise byte
// 0 chooses the format (odd: 3, even: 2) and the rest is a payload, framed here with the magic
// line, that version, its length and its checksum, so that the reading of the payload itself
// is fuzzed past the checksum, which random bytes would almost never match.
//
// Seeds (fuzz/corpus/run_file): the checkpoints of two runs of a few parasites (10 loci, 2
// hosts, carrying capacity 5, 6 generations; one with a history and genomes every 2nd
// generation), whole and as payloads of format 3, and the second as a payload of format 2.
//
// Checked, besides "no crash": the bytes are either refused with CheckpointError, or read as a
// run file that writes bytes which read back to a run file writing the same bytes again (the
// reading and the writing agree on every field).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/run_file.hpp"
#include "report/byte_digest.hpp"

namespace {

using parasim::app::decode_run_file;
using parasim::app::encode_run_file;
using parasim::app::RunFile;

constexpr std::string_view magic = "PARASIM CHECKPOINT\n";

void check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

// Worlds of more hosts are left out: reading a state builds the line of hosts its answers ask
// for, which for a billion hosts takes as long and as much memory as the run of them did, and
// tells nothing more about the reading.
constexpr std::int32_t most_hosts = 1 << 16;

bool asks_for_too_many_hosts(std::string_view file) {
  const std::size_t payload_at = magic.size() + sizeof(std::uint32_t) + sizeof(std::uint64_t);
  if (file.size() < payload_at) {
    return false;
  }
  parasim::model::ByteReader payload(file.data() + payload_at, file.size() - payload_at);
  try {
    return parasim::model::take_parameters(payload).host_count > most_hosts;
  } catch (const parasim::model::CheckpointError&) {
    return false;
  }
}

// A payload framed as the run file frames it.
std::string framed(std::uint32_t version, std::string_view payload) {
  parasim::model::ByteWriter file;
  file.bytes().append(magic);
  file.put(version);
  file.put(static_cast<std::uint64_t>(payload.size()));
  file.bytes().append(payload);
  file.put(parasim::report::extend_digest(parasim::report::empty_digest, payload.data(),
                                          payload.size()));
  return std::move(file.bytes());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string bytes;
  if (input.substr(0, magic.size()) == magic || input.empty()) {
    bytes = input;
  } else {
    bytes = framed((input[0] & 1) != 0 ? 3 : 2, input.substr(1));
  }
  if (asks_for_too_many_hosts(bytes)) {
    return -1;  // not kept in the corpus
  }
  RunFile run_file;
  try {
    run_file = decode_run_file(bytes);
  } catch (const parasim::model::CheckpointError&) {
    return 0;
  }
  check(run_file.tick_count >= 0 && run_file.genomes_every >= 0 && run_file.results.length >= 0,
        "a run file with a negative count");
  const std::string written = encode_run_file(run_file);
  try {
    check(encode_run_file(decode_run_file(written)) == written,
          "a run file does not read back as written");
  } catch (const parasim::model::CheckpointError&) {
    check(false, "a run file as written is refused");
  }
  return 0;
}
