#include "csv_file.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::size_t flush_threshold = std::size_t{1} << 20;

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int error) {
  throw ReportIoError("cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

}  // namespace

const std::filesystem::path& table_folder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder)) {
    throw ReportIoError("cannot use " + folder.string() + " as the folder for the tables" +
                        (error ? ": " + error.message() : ": it is not a folder"));
  }
  return folder;
}

CsvFile::CsvFile(std::filesystem::path path, const std::string& header_row)
    : path_(std::move(path)), partial_path_(path_) {
  partial_path_ += ".partial";
  file_ = std::fopen(partial_path_.c_str(), "wb");
  if (file_ == nullptr) {
    fail("create", partial_path_, errno);
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
    std::error_code ignored;
    std::filesystem::remove(partial_path_, ignored);
  }
}

void CsvFile::end_row() {
  buffer_ += '\n';
  if (buffer_.size() >= flush_threshold) {
    flush();
  }
}

void CsvFile::commit() {
  flush();
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0) {
    const int error = errno;
    std::error_code ignored;
    std::filesystem::remove(partial_path_, ignored);
    fail("write", partial_path_, error);
  }
  std::error_code renamed;
  std::filesystem::rename(partial_path_, path_, renamed);
  if (renamed) {
    std::error_code ignored;
    std::filesystem::remove(partial_path_, ignored);
    fail("replace", path_, renamed.value());
  }
}

void CsvFile::flush() {
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    fail("write", partial_path_, errno);
  }
  buffer_.clear();
}

}  // namespace parasim::report_tool
