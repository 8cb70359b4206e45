#include "report/history_files.hpp"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>

#include "model/checkpoint.hpp"
#include "report/byte_digest.hpp"
#include "report/csv_row.hpp"
#include "report/json_text.hpp"
#include "report/placed_file.hpp"

namespace parasim::report {

namespace {

using Operation = OutputFailure::Operation;

// The byte digest of the ten answers, each in its own type in the order asked, as a
// checkpoint holds them.
std::uint64_t answers_digest(const model::Parameters& parameters) {
  model::ByteWriter answers;
  model::put_parameters(answers, parameters);
  return extend_digest(empty_digest, answers.bytes().data(), answers.bytes().size());
}

// The folder's run.json must be the one this run would write.
void check_run_mark(const std::string& folder, const std::string& expected) {
  const std::string path = history_file_path(folder, history_run_file);
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw OutputFailure(Operation::reopen, path, errno != 0 ? errno : ENOENT);
  }
  const std::string found((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (found != expected) {
    throw OutputFailure(Operation::other_run, path, 0);
  }
}

}  // namespace

std::string HistoryFiles::abundance_path(const std::string& folder) {
  return history_file_path(folder, history_abundance_file);
}

std::string HistoryFiles::run_mark(std::int32_t tick_count, const model::Parameters& parameters) {
  char digest[24];
  std::snprintf(digest, sizeof digest, "%016llx",
                static_cast<unsigned long long>(answers_digest(parameters)));
  std::string out = "{\n";
  out += "  \"program\": \"parasim\",\n";
  out += "  \"seed\": " + std::to_string(tick_count) + ",\n";
  out += "  \"answers\": " + answers_json(parameters, 4) + ",\n";
  out += "  \"answers_digest\": \"" + std::string(digest) + "\"\n";
  out += "}\n";
  return out;
}

HistoryFiles::HistoryFiles(const std::string& folder, std::int32_t tick_count,
                           const model::Parameters& parameters)
    : species_path_(history_file_path(folder, history_species_file)) {
  make_output_folder("the history folder", folder);
  place_file("the history's run mark", history_file_path(folder, history_run_file),
             run_mark(tick_count, parameters));
  abundance_.emplace(abundance_path(folder));
  abundance_->append(header_line(history_abundance_header));
  place_file("the history's species table", species_path_, header_line(history_species_header));
}

HistoryFiles::HistoryFiles(const std::string& folder, std::int32_t tick_count,
                           const model::Parameters& parameters, const FileMark& abundance)
    : species_path_(history_file_path(folder, history_species_file)) {
  check_run_mark(folder, run_mark(tick_count, parameters));
  abundance_.emplace(abundance_path(folder), abundance);
}

void HistoryFiles::after_labelling(const model::Simulation& simulation) {
  const species::SpeciesHistory& history = simulation.history();
  buffer_.clear();
  for (const model::AbundanceRow& row :
       counter_.count(simulation.population(), simulation.hosts(), history)) {
    append_row(buffer_, std::int64_t{simulation.generation()}, std::int64_t{row.species},
               std::int64_t{row.label}, std::int64_t{row.host}, row.host_phenotype, row.count,
               row.phenotype_mean, row.phenotype_sd);
  }
  abundance_->append(buffer_);
  write_species(history);
}

void HistoryFiles::write_species(const species::SpeciesHistory& history) {
  buffer_ = header_line(history_species_header);
  // Numbers of 0 (no parent, a host not known) and a shift of unknown hosts are empty fields.
  const auto or_empty = [](std::int32_t number) {
    return number != 0 ? std::to_string(number) : std::string();
  };
  for (const species::SpeciesRecord& record : history.species()) {
    const std::string_view shift =
        !record.hosts_known() ? "" : (record.host_shift() ? "true" : "false");
    append_row(buffer_, std::int64_t{record.species}, std::int64_t{record.label},
               std::string_view(or_empty(record.parent)), std::int64_t{record.born},
               std::int64_t{record.size_at_birth}, std::int64_t{record.last_seen},
               std::string_view(record.extant ? "true" : "false"),
               std::string_view(or_empty(record.birth_host)),
               std::string_view(or_empty(record.parent_host)), shift);
  }
  place_file("the history's species table", species_path_, buffer_, Flush::rename_only);
}

}  // namespace parasim::report
