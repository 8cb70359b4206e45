#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/run_file.hpp"

namespace parasim::app {

// The checks a run makes before it goes on from a checkpoint, shared by the console program's
// --resume and the Python module's restore. Each refusal names the checkpoint by `name`.

// The checkpoint's bytes read back. Throws ResumeRefused.
RunFile run_file_to_resume(const std::string& name, const std::string& bytes);

// The outputs a resumed run goes on writing.
struct ResumedOutputs {
  std::optional<std::string> results_path;
  std::optional<std::string> history_folder;
  std::optional<std::int32_t> genomes_every;   // when the run writes genomes
  std::optional<std::int32_t> genetics_every;  // when the history keeps its genetics tables
};

// Whether the run can go on writing these outputs: a results file or a history only when the
// run that wrote the checkpoint kept one (else its first generations would be missing), each
// the very file the checkpoint was taken with (its first bytes as marked), genomes at the
// cadence of that run when it wrote any (else one folder would mix two cadences), and the
// history's genetics tables only when that run kept them, at its cadence, each the very file it
// was writing. Every
// output is checked before any is touched; reads, changes nothing. Throws ResumeRefused or
// report::OutputFailure.
void check_resumed_outputs(const std::string& name, const RunFile& run_file,
                           const ResumedOutputs& outputs);

}  // namespace parasim::app
