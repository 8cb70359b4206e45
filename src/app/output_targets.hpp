#pragma once

#include "app/command_line.hpp"

namespace parasim::app {

// Checks, before the dialogue and before anything is written, every file and folder the
// options name, by the one rule of report/placed_file.hpp: each output is absent or a regular
// file (a folder where a folder is meant), in a folder that exists and can be written; the
// checkpoint to resume from is a regular file; and no two of them, the results file and the
// files the history and genomes folders will hold included, are the same file. Throws
// report::TargetRefused. Replacing a device, a link's target or another output with a run's
// bytes would lose data, so such a run never starts.
void check_output_targets(const Options& options);

}  // namespace parasim::app
