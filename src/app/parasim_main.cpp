#include "app/parasim_main.hpp"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>

#include "app/checkpoint_file.hpp"
#include "app/command_line.hpp"
#include "app/dialogue.hpp"
#include "app/progress_line.hpp"
#include "app/run_record.hpp"
#include "model/simulation.hpp"
#include "random/seeding.hpp"
#include "report/results_file.hpp"
#include "textio/console_reader.hpp"
#include "textio/run_failure.hpp"

namespace parasim::app {

namespace {

// The checkpoint a resumed run goes on from, checked against the answers just given.
model::Checkpoint checkpoint_to_resume(const Options& options,
                                       const model::Parameters& parameters) {
  const std::string& path = *options.resume_path;
  const std::string statement = "cannot resume from \"" + path + "\"";
  model::Checkpoint checkpoint;
  try {
    checkpoint = model::decode_checkpoint(read_whole_file(path));
  } catch (const model::CheckpointError& error) {
    throw textio::RunFailure(statement, error.what(), textio::exit_status_input_or_file);
  }
  const model::Parameters& saved = checkpoint.parameters;
  const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  const bool same_parameters =
      saved.genome_size == parameters.genome_size &&
      same(saved.max_differentiation, parameters.max_differentiation) &&
      same(saved.mutation_rate, parameters.mutation_rate) &&
      saved.max_offspring == parameters.max_offspring &&
      same(saved.dispersal_prob, parameters.dispersal_prob) &&
      saved.host_count == parameters.host_count &&
      same(saved.host_distance, parameters.host_distance) &&
      saved.carrying_capacity == parameters.carrying_capacity &&
      same(saved.survival_sd, parameters.survival_sd) && saved.generations == parameters.generations;
  if (!same_parameters) {
    throw textio::RunFailure(statement, "the checkpoint belongs to a run with other answers",
                             textio::exit_status_input_or_file);
  }
  if (options.seed_ticks && *options.seed_ticks != checkpoint.tick_count) {
    throw textio::RunFailure(statement,
                             "the checkpoint belongs to a run with seed " +
                                 std::to_string(checkpoint.tick_count),
                             textio::exit_status_input_or_file);
  }
  return checkpoint;
}

// The run proper; fills the record as it goes and throws RunFailure when it fails.
void run_model(const Options& options, RunRecord& record, std::optional<model::Simulation>& run) {
  textio::ConsoleReader reader(std::cin);
  const model::Parameters parameters = ask_parameters(reader);
  record.parameters = parameters;
  if (const auto refusal = model::parameter_refusal(parameters)) {
    throw textio::RunFailure("the parameters cannot be run", *refusal,
                             textio::exit_status_input_or_file);
  }
  announce_run();

  std::optional<report::ResultsFile> results;
  if (options.resume_path) {
    model::Checkpoint checkpoint = checkpoint_to_resume(options, parameters);
    record.seed_source = "checkpoint";
    record.tick_count = checkpoint.tick_count;
    results.emplace(report::ResultsFile::default_name, checkpoint.output_length);
    run.emplace(std::move(checkpoint));
  } else {
    record.seed_source = options.seed_ticks ? "option" : "clock";
    record.tick_count = options.seed_ticks ? *options.seed_ticks : random::tick_count();
    run.emplace(parameters, *record.tick_count);
    results.emplace();
  }

  ProgressLine progress(options.progress, parameters.generations);
  while (!run->finished()) {
    run->run_generation(*results);
    progress.update(run->generations_run(), static_cast<std::int64_t>(run->population().size()),
                    run->species_count());
    if (options.checkpoint_path && !run->finished() &&
        run->generations_run() % options.checkpoint_every == 0) {
      write_file_atomically(*options.checkpoint_path,
                            model::encode_checkpoint(
                                run->checkpoint(*record.tick_count, results->length())));
    }
  }
  progress.clear();
  results->close();
  say_goodbye();
}

void finish_record(RunRecord& record, const std::optional<model::Simulation>& run) {
  record.end_time = std::chrono::system_clock::now();
  record.wall_seconds = std::chrono::duration<double>(record.end_time - record.start_time).count();
  if (run) {
    record.generations_run = run->generations_run();
    record.final_population = static_cast<std::int64_t>(run->population().size());
    record.died_out = run->population().size() == 0;
    record.final_species = run->species_count();
  }
}

}  // namespace

int parasim_main(const std::vector<std::string>& arguments) {
  const ParsedCommandLine parsed = parse_command_line(arguments);
  if (parsed.error) {
    std::fprintf(stderr, "parasim: %s (try 'parasim --help')\n", parsed.error->c_str());
    return textio::exit_status_input_or_file;
  }
  const Options& options = parsed.options;
  if (options.show_help || options.show_version) {
    const std::string text = options.show_help ? usage_text() : version_text();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }

  std::ios::sync_with_stdio(false);
  // A results file that outgrows the file size limit must fail like a full disk, with
  // a report and the records written so far kept, not kill the process.
  std::signal(SIGXFSZ, SIG_IGN);
  RunRecord record;
  record.start_time = std::chrono::system_clock::now();
  std::optional<model::Simulation> run;
  try {
    run_model(options, record, run);
  } catch (const textio::RunFailure& failure) {
    textio::write_error_report(failure);
    record.exit_status = failure.exit_status();
    record.error = failure.message();
  } catch (const std::bad_alloc&) {
    const textio::RunFailure failure = textio::memory_failure("an array");
    textio::write_error_report(failure);
    record.exit_status = failure.exit_status();
    record.error = failure.message();
  }

  if (options.record_path) {
    finish_record(record, run);
    if (const auto error = write_run_record(*options.record_path, record)) {
      std::fprintf(stderr, "parasim: cannot write the run record \"%s\"\n%s\n",
                   options.record_path->c_str(), error->c_str());
      if (record.exit_status == 0) {
        return textio::exit_status_input_or_file;
      }
    }
  }
  return record.exit_status;
}

}  // namespace parasim::app
