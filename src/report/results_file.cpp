#include "report/results_file.hpp"

#include "textio/report_record.hpp"
#include "textio/text_line.hpp"

namespace parasim::report {

ResultsFile::ResultsFile(std::string path) : file_(std::move(path)) {
  for (const std::string_view line : header_texts) {
    textio::append_text_line(buffer_, line);
  }
  file_.append(buffer_);
}

ResultsFile::ResultsFile(std::string path, const FileMark& mark) : file_(std::move(path), mark) {}

void ResultsFile::report(std::int32_t generation, const model::Population& population,
                         const model::HostTable& hosts) {
  buffer_.clear();
  buffer_.reserve(population.size() * textio::report_line_length);
  for (std::size_t row = 0; row < population.size(); ++row) {
    const std::int32_t host = population.host_id(row);
    textio::append_report_record(
        buffer_, {generation, population.phenotype(row), static_cast<double>(host),
                  hosts.host_phenotype[static_cast<std::size_t>(host - 1)],
                  population.species_id(row)});
  }
  file_.append(buffer_);
}

}  // namespace parasim::report
