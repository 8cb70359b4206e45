#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/checkpoint.hpp"
#include "report/appended_file.hpp"

namespace parasim::app {

// A checkpoint file: the model's state between two generations, with what the run needs
// beside it to go on as itself: the tick count it was seeded from, how far the files it
// appends to had got, and how often it wrote genomes.
struct RunFile {
  model::Checkpoint state;
  std::int32_t tick_count = 0;
  // The results file; length 0 for a run that writes none (a Python run without one).
  report::FileMark results;
  // The species history's abundance table, when the run keeps a history.
  std::optional<report::FileMark> abundance;
  // Generations between genome files, 0 when the run wrote none. Files of format 2 do not
  // record it and read as 0.
  std::int32_t genomes_every = 0;
};

// The file's bytes: a magic line, the format version (3), the payload's length, the payload
// and a checksum of the payload. The payload holds the parameters, the tick count, where the
// run stands, the file marks, the genomes cadence, then the species and the population.
std::string encode_run_file(const RunFile& run_file);

// Reads the bytes back, of format 3 or of format 2 (the same without the genomes cadence),
// checking the magic line, the version, the checksum and that the state is one a run can be
// in. Throws model::CheckpointError.
RunFile decode_run_file(const std::string& bytes);

}  // namespace parasim::app
