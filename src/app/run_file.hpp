#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/checkpoint.hpp"
#include "report/appended_file.hpp"
#include "report/genetics_files.hpp"

namespace parasim::app {

// The genetics tables of a history: generations between their rows, and how far they had got.
struct GeneticsProgress {
  std::int32_t every = 0;
  report::GeneticsMarks marks;
};

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
  // The history's genetics tables, when the run keeps them (with its history); files before
  // format 4 read as none.
  std::optional<GeneticsProgress> genetics;
};

// The file's bytes: a magic line, the format version (4), the payload's length, the payload
// and a checksum of the payload. The payload holds the parameters, the tick count, where the
// run stands, the file marks, the genomes cadence, the genetics cadence and marks, then the
// species (with their hosts at birth) and the population.
std::string encode_run_file(const RunFile& run_file);

// Reads the bytes back, of format 4 or of an earlier one still resumable: 3 (without the
// genetics and the species' hosts at birth, which read as unknown) or 2 (without the genomes
// cadence either), checking the magic line, the version, the checksum and that the state is
// one a run can be in. Throws model::CheckpointError.
RunFile decode_run_file(const std::string& bytes);

}  // namespace parasim::app
