#include "app/run_record.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/command_line.hpp"
#include "app/failure_report.hpp"

namespace parasim::app {

namespace {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// Reals with enough digits to read back the same double; JSON has no infinities.
std::string json_real(double value) {
  if (!std::isfinite(value)) {
    return "null";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

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
  std::string version = version_text();
  version = version.substr(version.find(' ') + 1);
  version.pop_back();

  std::string out = "{\n";
  out += "  \"program\": \"parasim\",\n";
  out += "  \"version\": " + json_string(version) + ",\n";
  if (record.parameters) {
    const model::Parameters& p = *record.parameters;
    const model::DerivedValues d = model::derive_values(p);
    out += "  \"parameters\": {\n";
    for (std::size_t i = 0; i < model::parameter_fields.size(); ++i) {
      const model::ParameterField& field = model::parameter_fields[i];
      const std::string value = field.type == model::AnswerType::integer
                                    ? std::to_string(p.*field.integer)
                                    : json_real(p.*field.real);
      out += "    \"" + std::string(field.name) + "\": " + value +
             (i + 1 < model::parameter_fields.size() ? ",\n" : "\n");
    }
    out += "  },\n";
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
  out += "  \"final_population\": " + std::to_string(outcome.final_population) + ",\n";
  out += "  \"final_species\": " + std::to_string(outcome.final_species) + ",\n";
  out += "  \"exit_status\": " + std::to_string(record.exit_status) + ",\n";
  out += "  \"error\": " + (record.error.empty() ? std::string("null") : json_string(record.error)) +
         "\n";
  out += "}\n";
  return out;
}

void write_run_record(const std::string& path, const RunRecord& record) {
  const std::string text = run_record_json(record);
  const std::string what = "cannot write the run record \"" + path + "\"";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    throw FileFailure(what, errno);
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int write_errno = errno;
  if (std::fclose(file) != 0 || !written) {
    throw FileFailure(what, written ? errno : write_errno);
  }
}

}  // namespace parasim::app
