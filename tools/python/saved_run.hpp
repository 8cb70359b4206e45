#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/checkpoint.hpp"
#include "stepped_run.hpp"

namespace parasim::python {

// The state of a run driven from Python: the console program's checkpoint, and the abundance
// table of the generations before it, which the console program keeps in a file of its own.
struct SavedRun {
  model::Checkpoint checkpoint;
  std::vector<AbundanceEntry> abundance;
};

// A magic line, a format version, the checkpoint's bytes, the abundance rows, and a checksum
// of everything after the magic line.
std::string encode_saved_run(const model::Checkpoint& checkpoint,
                             std::span<const AbundanceEntry> abundance);

// Reads encode_saved_run's bytes back, or the bytes of a checkpoint file of the console
// program (with an empty abundance table). Throws model::CheckpointError.
SavedRun decode_saved_run(const std::string& bytes);

}  // namespace parasim::python
