#include "report/results_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "textio/report_record.hpp"
#include "textio/text_line.hpp"

namespace parasim::report {

using Operation = ResultsFileFailure::Operation;

// The file is closed first: a constructor that throws leaves no destructor to do it.
void ResultsFile::fail(Operation operation, int error) {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
    descriptor_ = -1;
  }
  throw ResultsFileFailure(operation, path_, error);
}

ResultsFile::ResultsFile(std::string path) : path_(std::move(path)) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor_ < 0) {
    fail(Operation::create, errno);
  }
  for (const std::string_view line : header_texts) {
    textio::append_text_line(buffer_, line);
  }
  write_all(buffer_);
}

ResultsFile::ResultsFile(std::string path, std::int64_t length) : path_(std::move(path)) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor_ < 0) {
    fail(Operation::reopen, errno);
  }
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) {
    fail(Operation::reopen, errno);
  }
  if (status.st_size < length) {
    fail(Operation::shorter, 0);
  }
  if (::ftruncate(descriptor_, length) != 0 || ::lseek(descriptor_, length, SEEK_SET) != length) {
    fail(Operation::cut_back, errno);
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
      fail(Operation::write, errno);
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
    fail(Operation::close, errno);
  }
}

}  // namespace parasim::report
