#include "csv_tables.hpp"

#include <charconv>
#include <string>
#include <system_error>

#include "report_folder_files.hpp"

namespace parasim::report_tool {
namespace {

// Means and standard deviations of values with four decimals, given two decimals more.
constexpr int moment_decimals = 6;

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  out += std::to_string(value);
}

void append_moment(std::string& out, double value) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, moment_decimals);
  out.append(text, result.ptr);
}

void append_moments(std::string& out, const PhenotypeMoments& moments) {
  append_moment(out, moments.mean());
  out += ',';
  append_moment(out, moments.standard_deviation());
}

}  // namespace

CsvTables::CsvTables(const std::filesystem::path& folder)
    : generations_(folder / generations_table.file, generations_table.header),
      species_(folder / species_by_generation_table.file, species_by_generation_table.header),
      hosts_(folder / hosts_table.file, hosts_table.header),
      points_(folder / points_table.file, points_table.header) {}

void CsvTables::generation_done(const GenerationTally& tally) {
  const std::string generation = std::to_string(tally.generation) + ',';

  std::string& row = generations_.row();
  row += generation;
  append_integer(row, tally.phenotypes.count());
  row += ',';
  append_integer(row, tally.species.size());
  row += ',';
  append_moments(row, tally.phenotypes);
  generations_.end_row();

  for (const SpeciesTally& species : tally.species) {
    std::string& species_row = species_.row();
    species_row += generation;
    append_integer(species_row, species.species_id);
    species_row += ',';
    append_integer(species_row, species.phenotypes.count());
    species_row += ',';
    append_moments(species_row, species.phenotypes);
    species_row += ',';
    append_integer(species_row, species.hosts_occupied);
    species_.end_row();
  }

  for (const HostTally& host : tally.hosts) {
    std::string& host_row = hosts_.row();
    host_row += generation;
    append_integer(host_row, host.host_id);
    host_row += ',';
    append_integer(host_row, host.load);
    host_row += ',';
    append_real(host_row, host.host_phenotype);
    host_row += ',';
    append_integer(host_row, host.species_present.size());
    host_row += ',';
    for (std::size_t i = 0; i < host.species_present.size(); ++i) {
      if (i > 0) {
        host_row += ';';
      }
      append_integer(host_row, host.species_present[i]);
    }
    hosts_.end_row();
  }

  for (const PhenotypePoint& point : tally.points) {
    std::string& point_row = points_.row();
    point_row += generation;
    append_integer(point_row, point.species_id);
    point_row += ',';
    append_real(point_row, point.phenotype);
    point_row += ',';
    append_integer(point_row, point.count);
    points_.end_row();
  }
}

void CsvTables::results_done() {
  generations_.close();
  species_.close();
  hosts_.close();
  points_.close();
}

}  // namespace parasim::report_tool
