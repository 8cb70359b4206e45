#include "csv_file.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::size_t flush_threshold = std::size_t{1} << 20;

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error) {
  throw ReportIoError("cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

}  // namespace

CsvFile::CsvFile(std::filesystem::path path, std::string_view header_row) : path_(std::move(path)) {
  file_ = std::fopen(path_.c_str(), "wb");
  if (file_ == nullptr) {
    fail("create", path_, errno);
  }
  buffer_.reserve(flush_threshold + 4096);
  if (!header_row.empty()) {
    buffer_ = header_row;
    buffer_ += '\n';
  }
}

CsvFile::~CsvFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

void CsvFile::end_row() {
  buffer_ += '\n';
  if (buffer_.size() >= flush_threshold) {
    flush();
  }
}

void CsvFile::close() {
  flush();
  if (std::fclose(std::exchange(file_, nullptr)) != 0) {
    fail("write", path_, errno);
  }
}

void CsvFile::flush() {
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    fail("write", path_, errno);
  }
  buffer_.clear();
}

}  // namespace parasim::report_tool
