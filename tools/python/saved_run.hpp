#pragma once

#include <span>
#include <string>
#include <vector>

#include "abundance_table.hpp"
#include "app/run_file.hpp"

namespace parasim::python {

// The state of a run driven from Python: the console program's run file (its state, seed and
// results file mark), and the abundance table of the generations before it, which the console
// program keeps in a file of its own.
struct SavedRun {
  app::RunFile run_file;
  std::vector<AbundanceEntry> abundance;
};

// A magic line, a format version, the run file's bytes, the abundance rows, and a checksum
// of everything after the magic line.
std::string encode_saved_run(const app::RunFile& run_file,
                             std::span<const AbundanceEntry> abundance);

// Reads encode_saved_run's bytes back, or the bytes of a checkpoint file of the console
// program (with an empty abundance table). Throws model::CheckpointError.
SavedRun decode_saved_run(const std::string& bytes);

}  // namespace parasim::python
