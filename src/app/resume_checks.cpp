#include "app/resume_checks.hpp"

#include "app/failure_report.hpp"
#include "report/genetics_files.hpp"
#include "report/history_files.hpp"

namespace parasim::app {

RunFile run_file_to_resume(const std::string& name, const std::string& bytes) {
  try {
    return decode_run_file(bytes);
  } catch (const model::CheckpointError& error) {
    throw ResumeRefused(name, error.what());
  }
}

void check_resumed_outputs(const std::string& name, const RunFile& run_file,
                           const ResumedOutputs& outputs) {
  if (outputs.results_path && run_file.results.length == 0) {
    throw ResumeRefused(name,
                        "the run was saved without a results file, so there is none to go on "
                        "writing");
  }
  if (outputs.history_folder && !run_file.abundance) {
    throw ResumeRefused(name,
                        "the checkpoint was taken by a run without --history, so the history "
                        "of the generations before it is missing");
  }
  if (outputs.genomes_every && run_file.genomes_every != 0 &&
      *outputs.genomes_every != run_file.genomes_every) {
    throw ResumeRefused(
        name, "the checkpoint was taken by a run that wrote genomes every " +
                  std::to_string(run_file.genomes_every) + " generations, not every " +
                  std::to_string(*outputs.genomes_every) + ": resume with --genomes-every " +
                  std::to_string(run_file.genomes_every) + " so that the genomes keep one cadence");
  }
  if (outputs.genetics_every && !run_file.genetics) {
    throw ResumeRefused(name,
                        "the checkpoint was taken by a run without --genetics-every, so the "
                        "divergence and groups of the generations before it are missing");
  }
  if (outputs.genetics_every && *outputs.genetics_every != run_file.genetics->every) {
    const std::string every = std::to_string(run_file.genetics->every);
    throw ResumeRefused(name, "the checkpoint was taken by a run that kept the genetics every " +
                                  every + " generations, not every " +
                                  std::to_string(*outputs.genetics_every) +
                                  ": resume with --genetics-every " + every +
                                  " so that the tables keep one cadence");
  }
  if (outputs.results_path) {
    report::check_mark(*outputs.results_path, run_file.results);
  }
  if (outputs.history_folder) {
    report::check_mark(report::HistoryFiles::abundance_path(*outputs.history_folder),
                       *run_file.abundance);
    if (outputs.genetics_every) {
      report::GeneticsFiles::check_genetics_marks(*outputs.history_folder,
                                                  run_file.genetics->marks);
    }
  }
}

}  // namespace parasim::app
