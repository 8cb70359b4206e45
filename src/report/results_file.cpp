#include "report/results_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "textio/report_record.hpp"
#include "textio/run_failure.hpp"
#include "textio/text_line.hpp"

namespace parasim::report {

namespace {

constexpr const char* header_lines[] = {
    "This file is organized as following:",
    "--First column: generation time",
    "--Second column: parasite phenotype ",
    "--Third column: host id",
    "--Fourth column: host phenotype",
    "--Fifth column: parasite species",
};

}  // namespace

ResultsFile::ResultsFile(std::string path) : path_(std::move(path)) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor_ < 0) {
    throw textio::file_failure("cannot open \"" + path_ + "\" for writing", errno);
  }
  for (const char* line : header_lines) {
    textio::append_text_line(buffer_, line);
  }
  write_all(buffer_);
}

ResultsFile::ResultsFile(std::string path, std::int64_t length) : path_(std::move(path)) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor_ < 0) {
    throw textio::file_failure("cannot reopen \"" + path_ + "\" to resume the run", errno);
  }
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) {
    throw textio::file_failure("cannot reopen \"" + path_ + "\" to resume the run", errno);
  }
  if (status.st_size < length) {
    throw textio::RunFailure("cannot resume the run",
                             "\"" + path_ + "\" is shorter than when the checkpoint was written",
                             textio::exit_status_input_or_file);
  }
  if (::ftruncate(descriptor_, length) != 0 || ::lseek(descriptor_, length, SEEK_SET) != length) {
    throw textio::file_failure("cannot cut \"" + path_ + "\" back to the checkpoint", errno);
  }
  length_ = length;
}

ResultsFile::~ResultsFile() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

void ResultsFile::report(std::int32_t generation, const model::Population& population,
                         const model::HostTable& hosts) {
  buffer_.clear();
  buffer_.reserve(population.size() * (textio::report_record_length + 2));
  for (std::size_t row = 0; row < population.size(); ++row) {
    const std::int32_t host = population.host_id(row);
    textio::append_report_record(
        buffer_, {generation, population.phenotype(row), static_cast<double>(host),
                  hosts.host_phenotype[static_cast<std::size_t>(host - 1)],
                  population.species_id(row)});
  }
  write_all(buffer_);
}

void ResultsFile::write_all(const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(descriptor_, data, left);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw textio::file_failure("cannot write to \"" + path_ + "\"", errno);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
    length_ += written;
  }
}

void ResultsFile::close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0 && errno != EINTR) {
    throw textio::file_failure("cannot close \"" + path_ + "\"", errno);
  }
}

}  // namespace parasim::report
