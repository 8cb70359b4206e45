#include "app/run_record.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/command_line.hpp"

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
    out += "    \"genome_size\": " + std::to_string(p.genome_size) + ",\n";
    out += "    \"max_differentiation\": " + json_real(p.max_differentiation) + ",\n";
    out += "    \"mutation_rate\": " + json_real(p.mutation_rate) + ",\n";
    out += "    \"max_offspring\": " + std::to_string(p.max_offspring) + ",\n";
    out += "    \"dispersal_prob\": " + json_real(p.dispersal_prob) + ",\n";
    out += "    \"host_count\": " + std::to_string(p.host_count) + ",\n";
    out += "    \"host_distance\": " + json_real(p.host_distance) + ",\n";
    out += "    \"carrying_capacity\": " + std::to_string(p.carrying_capacity) + ",\n";
    out += "    \"survival_sd\": " + json_real(p.survival_sd) + ",\n";
    out += "    \"generations\": " + std::to_string(p.generations) + "\n";
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
  out += "  \"wall_seconds\": " + json_real(record.wall_seconds) + ",\n";
  out += "  \"generations_run\": " + std::to_string(record.generations_run) + ",\n";
  out += "  \"died_out\": " + std::string(record.died_out ? "true" : "false") + ",\n";
  out += "  \"final_population\": " + std::to_string(record.final_population) + ",\n";
  out += "  \"final_species\": " + std::to_string(record.final_species) + ",\n";
  out += "  \"exit_status\": " + std::to_string(record.exit_status) + ",\n";
  out += "  \"error\": " + (record.error.empty() ? std::string("null") : json_string(record.error)) +
         "\n";
  out += "}\n";
  return out;
}

std::optional<std::string> write_run_record(const std::string& path, const RunRecord& record) {
  const std::string text = run_record_json(record);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return std::string(std::strerror(errno));
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int write_errno = errno;
  if (std::fclose(file) != 0 || !written) {
    return std::string(std::strerror(written ? errno : write_errno));
  }
  return std::nullopt;
}

}  // namespace parasim::app
