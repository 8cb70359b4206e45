#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/failure_report.hpp"
#include "app/generation_loop.hpp"
#include "model/parameters.hpp"

namespace parasim::app {

// What a run leaves in its JSON record (--record): enough to repeat and audit it.
struct RunRecord {
  std::optional<std::string> parameters_file;   // --parameters FILE, as given
  std::optional<model::Parameters> parameters;  // absent when the dialogue failed
  std::optional<std::int32_t> tick_count;       // the seed, once drawn
  std::string seed_source = "none";             // "clock", "option" or "checkpoint"
  std::chrono::system_clock::time_point start_time;
  std::chrono::system_clock::time_point end_time;
  RunOutcome outcome;
  int exit_status = exit_status_done;
  std::string error;  // the error report's message, empty after a completed run
};

// The record as a JSON object.
std::string run_record_json(const RunRecord& record);

// Puts the record in place at path. Throws report::TargetRefused or report::OutputFailure.
void write_run_record(const std::string& path, const RunRecord& record);

}  // namespace parasim::app
