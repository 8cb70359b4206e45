#include "report/history_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace parasim::report {

namespace {

using Operation = OutputFailure::Operation;

std::string path_in(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') {
    path += '/';
  }
  path.append(name);
  return path;
}

// A header row with its line end.
std::string header_line(std::string_view header) {
  std::string line(header);
  line += '\n';
  return line;
}

// The folder, made when missing (its parent must exist).
std::string made_folder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    throw OutputFailure(Operation::make_folder, folder, errno);
  }
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) {
    throw OutputFailure(Operation::make_folder, folder, errno);
  }
  if (!S_ISDIR(status.st_mode)) {
    throw OutputFailure(Operation::make_folder, folder, ENOTDIR);
  }
  return folder;
}

// A field of a row: integers in decimal, reals in the shortest form that reads back to the
// same double, text as it stands (an empty field for none).
void append_field(std::string& out, std::int64_t value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void append_field(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void append_field(std::string& out, std::string_view text) { out.append(text); }

// One CSV row: the fields separated by commas, then a line end.
template <typename First, typename... Rest>
void append_row(std::string& out, const First& first, const Rest&... rest) {
  append_field(out, first);
  ((out += ',', append_field(out, rest)), ...);
  out += '\n';
}

// Writes bytes to path through a temporary file beside it, renamed over it.
void replace_file(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  {
    AppendedFile file(temporary);
    file.append(bytes);
    file.close();
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw OutputFailure(Operation::write, path, error);
  }
}

}  // namespace

std::string HistoryFiles::abundance_path(const std::string& folder) {
  return path_in(folder, history_abundance_file);
}

HistoryFiles::HistoryFiles(const std::string& folder)
    : species_path_(path_in(made_folder(folder), history_species_file)),
      abundance_(abundance_path(folder)) {
  abundance_.append(header_line(history_abundance_header));
  replace_file(species_path_, header_line(history_species_header));
}

HistoryFiles::HistoryFiles(const std::string& folder, const FileMark& abundance)
    : species_path_(path_in(folder, history_species_file)),
      abundance_(abundance_path(folder), abundance) {}

void HistoryFiles::after_labelling(const model::Simulation& simulation) {
  const species::SpeciesHistory& history = simulation.history();
  buffer_.clear();
  for (const model::AbundanceRow& row :
       counter_.count(simulation.population(), simulation.hosts(), history)) {
    append_row(buffer_, std::int64_t{simulation.generation()}, std::int64_t{row.species},
               std::int64_t{row.label}, std::int64_t{row.host}, row.host_phenotype, row.count,
               row.phenotype_mean, row.phenotype_sd);
  }
  abundance_.append(buffer_);
  write_species(history);
}

void HistoryFiles::write_species(const species::SpeciesHistory& history) {
  buffer_ = header_line(history_species_header);
  for (const species::SpeciesRecord& record : history.species()) {
    const std::string parent = record.parent != 0 ? std::to_string(record.parent) : "";
    append_row(buffer_, std::int64_t{record.species}, std::int64_t{record.label},
               std::string_view(parent), std::int64_t{record.born},
               std::int64_t{record.size_at_birth}, std::int64_t{record.last_seen},
               std::string_view(record.extant ? "true" : "false"));
  }
  replace_file(species_path_, buffer_);
}

}  // namespace parasim::report
