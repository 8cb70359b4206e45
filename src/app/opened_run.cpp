#include "app/opened_run.hpp"

#include "app/failure_report.hpp"
#include "app/resume_checks.hpp"
#include "app/whole_file.hpp"
#include "random/seeding.hpp"
#include "report/placed_file.hpp"

namespace parasim::app {

namespace {

// The checkpoint a resumed run goes on from, checked against the answers just given.
RunFile checkpoint_to_resume(const Options& options, const model::Parameters& parameters) {
  const std::string& path = *options.resume_path;
  RunFile checkpoint = run_file_to_resume(path, read_whole_file(path));
  if (!(checkpoint.state.parameters == parameters)) {
    throw ResumeRefused(path, "the checkpoint belongs to a run with other answers");
  }
  if (options.seed_ticks && *options.seed_ticks != checkpoint.tick_count) {
    throw ResumeRefused(
        path, "the checkpoint belongs to a run with seed " + std::to_string(checkpoint.tick_count));
  }
  return checkpoint;
}

}  // namespace

std::string_view seed_source_name(SeedSource source) {
  switch (source) {
    case SeedSource::clock:
      return "clock";
    case SeedSource::option:
      return "option";
    case SeedSource::checkpoint:
      return "checkpoint";
  }
  return "clock";
}

RunStart choose_start(const Options& options, const model::Parameters& parameters) {
  RunStart start;
  if (options.resume_path) {
    start.checkpoint = checkpoint_to_resume(options, parameters);
    start.tick_count = start.checkpoint->tick_count;
    start.seed_source = SeedSource::checkpoint;
  } else {
    start.seed_source = options.seed_ticks ? SeedSource::option : SeedSource::clock;
    start.tick_count = options.seed_ticks ? *options.seed_ticks : random::tick_count();
  }
  return start;
}

OpenedRun open_run(const Options& options, RunStart& start, const model::Parameters& parameters) {
  OpenedRun run;
  const std::string results_path(report::results_file_name);
  if (start.checkpoint) {
    RunFile& checkpoint = *start.checkpoint;
    ResumedOutputs outputs{results_path, options.history_path, std::nullopt,
                           options.genetics_every};
    if (options.genomes_path) {
      outputs.genomes_every = options.genomes_every;
    }
    check_resumed_outputs(*options.resume_path, checkpoint, outputs);
    if (options.genomes_path) {
      report::make_output_folder("the genomes folder", *options.genomes_path);
    }
    if (options.history_path) {
      run.history = std::make_unique<report::HistoryFiles>(*options.history_path, start.tick_count,
                                                           parameters, *checkpoint.abundance);
      if (options.genetics_every) {
        run.genetics = std::make_unique<report::GeneticsFiles>(
            *options.history_path, *options.genetics_every, checkpoint.genetics->marks);
      }
    }
    run.results = std::make_unique<report::ResultsFile>(results_path, checkpoint.results);
    run.simulation = std::make_unique<model::Simulation>(std::move(checkpoint.state));
    start.checkpoint.reset();
  } else {
    run.simulation = std::make_unique<model::Simulation>(parameters, start.tick_count);
    if (options.genomes_path) {
      report::make_output_folder("the genomes folder", *options.genomes_path);
    }
    if (options.history_path) {
      run.history = std::make_unique<report::HistoryFiles>(*options.history_path, start.tick_count,
                                                           parameters);
      if (options.genetics_every) {
        run.genetics =
            std::make_unique<report::GeneticsFiles>(*options.history_path, *options.genetics_every);
      }
    }
    run.results = std::make_unique<report::ResultsFile>(results_path);
  }
  return run;
}

}  // namespace parasim::app
