#include "app/run_record.hpp"

#include <ctime>

#include "app/command_line.hpp"
#include "app/failure_report.hpp"
#include "report/json_text.hpp"
#include "report/placed_file.hpp"

namespace parasim::app {

namespace {

using report::json_real;
using report::json_string;

std::string iso_time(std::chrono::system_clock::time_point time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

std::string run_record_json(const RunRecord& record) {
  std::string out = "{\n";
  out += "  \"program\": \"parasim\",\n";
  out += "  \"version\": " + json_string(version_number()) + ",\n";
  out += "  \"parameters_file\": " +
         (record.parameters_file ? json_string(*record.parameters_file) : std::string("null")) +
         ",\n";
  if (record.parameters) {
    const model::Parameters& p = *record.parameters;
    const model::DerivedValues d = model::derive_values(p);
    out += "  \"parameters\": " + report::answers_json(p, 4) + ",\n";
    out += "  \"derived\": {\n";
    out += "    \"mate_threshold\": " + std::to_string(d.mate_threshold) + ",\n";
    out += "    \"record_width\": " + std::to_string(d.record_width) + ",\n";
    out += "    \"report_interval\": " + std::to_string(model::report_interval) + ",\n";
    out += "    \"host_spacing\": " + json_real(d.host_spacing) + ",\n";
    out += "    \"max_population\": " + std::to_string(d.max_population) + "\n";
    out += "  },\n";
  } else {
    out += "  \"parameters\": null,\n  \"derived\": null,\n";
  }
  out += "  \"tick_count\": " +
         (record.tick_count ? std::to_string(*record.tick_count) : std::string("null")) + ",\n";
  out += "  \"seed_source\": " + json_string(record.seed_source) + ",\n";
  out += "  \"start_time\": " + json_string(iso_time(record.start_time)) + ",\n";
  out += "  \"end_time\": " + json_string(iso_time(record.end_time)) + ",\n";
  const double wall_seconds =
      std::chrono::duration<double>(record.end_time - record.start_time).count();
  const RunOutcome& outcome = record.outcome;
  out += "  \"wall_seconds\": " + json_real(wall_seconds) + ",\n";
  out += "  \"generations_run\": " + std::to_string(outcome.generations_run) + ",\n";
  out += "  \"died_out\": " + std::string(outcome.died_out ? "true" : "false") + ",\n";
  out += "  \"last_generation_population\": " +
         (outcome.last_generation_population ? std::to_string(*outcome.last_generation_population)
                                             : std::string("null")) +
         ",\n";
  out += "  \"final_population\": " + std::to_string(outcome.final_population) + ",\n";
  out += "  \"final_species\": " + std::to_string(outcome.final_species) + ",\n";
  out += "  \"exit_status\": " + std::to_string(record.exit_status) + ",\n";
  out +=
      "  \"error\": " + (record.error.empty() ? std::string("null") : json_string(record.error)) +
      "\n";
  out += "}\n";
  return out;
}

void write_run_record(const std::string& path, const RunRecord& record) {
  report::place_file("the run record", path, run_record_json(record));
}

}  // namespace parasim::app
