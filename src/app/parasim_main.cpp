#include "app/parasim_main.hpp"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "app/command_line.hpp"
#include "app/dialogue.hpp"
#include "app/failure_report.hpp"
#include "app/generation_loop.hpp"
#include "app/genomes_observer.hpp"
#include "app/opened_run.hpp"
#include "app/output_targets.hpp"
#include "app/parameters_file.hpp"
#include "app/periodic_checkpoint.hpp"
#include "app/progress_line.hpp"
#include "app/run_record.hpp"
#include "random/deviate_stream.hpp"
#include "report/placed_file.hpp"
#include "textio/console_reader.hpp"

namespace parasim::app {

namespace {

// The observers the options ask for, in the order they are told of each generation (after
// the history, which the generation loop tells first).
std::vector<std::unique_ptr<model::GenerationObserver>> observers_for(
    const Options& options, const model::Parameters& parameters, const RunStart& start,
    const OpenedRun& run) {
  std::vector<std::unique_ptr<model::GenerationObserver>> observers;
  if (options.progress) {
    observers.push_back(std::make_unique<ProgressLine>(parameters.generations));
  }
  if (options.checkpoint_path) {
    observers.push_back(std::make_unique<PeriodicCheckpoint>(
        *options.checkpoint_path, options.checkpoint_every, start.tick_count,
        options.genomes_path ? options.genomes_every : 0, *run.results, run.history.get(),
        run.genetics.get()));
  }
  if (options.genomes_path) {
    observers.push_back(
        std::make_unique<GenomesObserver>(*options.genomes_path, options.genomes_every));
  }
  return observers;
}

// One run from the dialogue to the closing lines. It keeps what it has made so far, so that
// the run's record can be written however far it got.
class RunSession {
 public:
  explicit RunSession(const Options& options) : options_(options) {}

  // Throws the failures of failure_report.hpp.
  void run() {
    if (options_.parameters_path) {
      // The whole file is read and checked before the first line is shown.
      const model::Parameters given = read_parameters_file(*options_.parameters_path);
      show_dialogue();
      parameters_ = given;
    } else {
      textio::ConsoleReader reader(std::cin);
      parameters_ = ask_parameters(reader);
    }
    if (const auto refusal = model::parameter_refusal(*parameters_)) {
      throw ParametersRefused(*refusal);
    }
    announce_run();
    start_ = choose_start(options_, *parameters_);
    opened_ = open_run(options_, *start_, *parameters_);

    {
      // The observers end with the loop, so that the progress line is gone before the
      // closing lines.
      const auto observers = observers_for(options_, *parameters_, *start_, opened_);
      std::vector<model::GenerationObserver*> watching;
      for (const auto& observer : observers) {
        watching.push_back(observer.get());
      }
      watching.push_back(&last_generation_);
      run_generations(opened_, watching);
    }
    if (opened_.genetics) {
      opened_.genetics->close();
    }
    if (opened_.history) {
      opened_.history->close();
    }
    opened_.results->close();
    say_goodbye();
  }

  // The record of the run as far as it got.
  RunRecord record() const {
    RunRecord record;
    record.parameters_file = options_.parameters_path;
    record.parameters = parameters_;
    if (start_) {
      record.tick_count = start_->tick_count;
      record.seed_source = seed_source_name(start_->seed_source);
    }
    if (opened_.simulation) {
      record.outcome = outcome_of(*opened_.simulation, last_generation_.count());
    }
    return record;
  }

 private:
  const Options& options_;
  std::optional<model::Parameters> parameters_;
  std::optional<RunStart> start_;
  OpenedRun opened_;
  LastGenerationCount last_generation_;
};

// --print-parameters: the answers read as a run reads them, printed as a parameters file.
int print_parameters(const Options& options) {
  try {
    check_output_targets(options);
    model::Parameters parameters;
    if (options.parameters_path) {
      parameters = read_parameters_file(*options.parameters_path);
    } else {
      std::ios::sync_with_stdio(false);
      textio::ConsoleReader reader(std::cin);
      parameters = read_parameters(reader);
    }
    if (const auto refusal = model::parameter_refusal(parameters)) {
      throw ParametersRefused(*refusal);
    }
    const std::string text = parameters_file_text(parameters);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return exit_status_done;
  } catch (...) {
    const FailureReport report = report_current_failure();
    write_error_report(report);
    return report.exit_status;
  }
}

}  // namespace

int parasim_main(const std::vector<std::string>& arguments) {
  const ParsedCommandLine parsed = parse_command_line(arguments);
  if (parsed.error) {
    std::fprintf(stderr, "parasim: %s (try 'parasim --help')\n", parsed.error->c_str());
    return exit_status_input_or_file;
  }
  const Options& options = parsed.options;
  if (options.show_help || options.show_version || options.list_parameters) {
    const std::string text = options.show_help      ? usage_text()
                             : options.show_version ? version_text()
                                                    : parameter_listing();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return exit_status_done;
  }
  if (options.print_parameters) {
    return print_parameters(options);
  }

  std::ios::sync_with_stdio(false);
  // A results file that outgrows the file size limit must fail like a full disk, with
  // a report and the records written so far kept, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // An interrupted run leaves no temporary file behind (a checkpoint or a history table being
  // written); the files written so far stay.
  report::clean_up_on_signals();
  // Outputs that would replace a device, a link's target or one another are refused before
  // anything is asked or written, and so are switches of the environment that name no path
  // this processor runs; the record is then not written either, as its own target may be
  // the one at fault.
  try {
    random::default_stream_path();
    check_output_targets(options);
  } catch (...) {
    const FailureReport report = report_current_failure();
    write_error_report(report);
    return report.exit_status;
  }
  const auto start_time = std::chrono::system_clock::now();
  RunSession session(options);
  int exit_status = exit_status_done;
  std::string error;
  try {
    session.run();
  } catch (...) {
    const FailureReport report = report_current_failure();
    write_error_report(report);
    exit_status = report.exit_status;
    error = report.message;
  }
  if (!options.record_path) {
    return exit_status;
  }

  RunRecord record = session.record();
  record.start_time = start_time;
  record.end_time = std::chrono::system_clock::now();
  record.exit_status = exit_status;
  record.error = error;
  try {
    write_run_record(*options.record_path, record);
  } catch (...) {
    write_error_report(report_current_failure());
    if (exit_status == exit_status_done) {
      return exit_status_input_or_file;
    }
  }
  return exit_status;
}

}  // namespace parasim::app
