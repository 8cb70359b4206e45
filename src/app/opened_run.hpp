#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "app/command_line.hpp"
#include "app/run_file.hpp"
#include "model/parameters.hpp"
#include "model/simulation.hpp"
#include "report/genetics_files.hpp"
#include "report/history_files.hpp"
#include "report/results_file.hpp"

namespace parasim::app {

// Where the run's tick count came from.
enum class SeedSource { clock, option, checkpoint };

std::string_view seed_source_name(SeedSource source);

// How a run starts: its tick count, and the checkpoint it goes on from, if any.
struct RunStart {
  std::int32_t tick_count = 0;
  SeedSource seed_source = SeedSource::clock;
  std::optional<RunFile> checkpoint;
};

// The tick count from --seed or the clock; or, with --resume, the checkpoint, which must
// belong to a run with the same answers (and the same --seed when one is given). Throws
// ResumeRefused or FileFailure.
RunStart choose_start(const Options& options, const model::Parameters& parameters);

// A run ready for its generation loop: the world and its files, written up to where the world
// stands: the results file and, when the run keeps one, the species history.
struct OpenedRun {
  std::unique_ptr<model::Simulation> simulation;
  std::unique_ptr<report::ResultsFile> results;
  std::unique_ptr<report::HistoryFiles> history;
  std::unique_ptr<report::GeneticsFiles> genetics;  // with the history, when asked for
};

// Builds the world from the answers and the tick count and creates the files; or goes on from
// the start's checkpoint (taken from it) and cuts the files back to where the checkpoint was
// taken, once every output passes the resume checks (resume_checks.hpp). The history (with its
// genetics tables) and the genomes folder are made before the results file is touched. Throws the
// failures of failure_report.hpp.
OpenedRun open_run(const Options& options, RunStart& start, const model::Parameters& parameters);

}  // namespace parasim::app
