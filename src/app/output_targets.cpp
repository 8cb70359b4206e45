#include "app/output_targets.hpp"

#include <iterator>
#include <string>
#include <vector>

#include "report/genomes_folder.hpp"
#include "report/history_layout.hpp"
#include "report/placed_file.hpp"
#include "report/results_layout.hpp"

namespace parasim::app {

void check_output_targets(const Options& options) {
  report::OutputTargets targets;
  // The results file keeps the checks of its own opening, whose failures are reported as the
  // run's.
  targets.add_compared_file("the results file", std::string(report::results_file_name));
  if (options.record_path) {
    targets.add_file("the run record", *options.record_path);
  }
  if (options.checkpoint_path) {
    targets.add_file("the checkpoint", *options.checkpoint_path);
  }
  if (options.parameters_path) {
    targets.add_input("the parameters file", *options.parameters_path);
  }
  if (options.resume_path) {
    // A run goes on from a checkpoint and writes its next ones to the same file.
    targets.add_input("the checkpoint to resume from", *options.resume_path, "the checkpoint");
  }
  if (options.history_path) {
    targets.add_folder(
        "the history folder", *options.history_path,
        report::any_of_names(std::vector<std::string>(std::begin(report::history_file_names),
                                                      std::end(report::history_file_names))));
  }
  if (options.genomes_path) {
    targets.add_folder("the genomes folder", *options.genomes_path, genomes::is_genomes_file_name);
  }
  targets.check();
}

}  // namespace parasim::app
