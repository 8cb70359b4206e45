#include "input_file.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "report_errors.hpp"

namespace parasim::report_tool {

InputFile::InputFile(std::string path)
    : path_(std::move(path)), file_(std::fopen(path_.c_str(), "rb")) {
  if (!file_) {
    throw ReportIoError("cannot open " + path_ + ": " + std::strerror(errno));
  }
  source_ = [this](char* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, file_.get());
    if (got == 0 && std::ferror(file_.get())) {
      throw ReportIoError("cannot read " + path_ + ": " + std::strerror(errno));
    }
    return got;
  };
}

std::string read_small_file(const std::string& path, std::size_t limit) {
  std::error_code error;
  // A fifo or a device would be waited on or read without end; only a file is read.
  if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
    throw ReportIoError("cannot read " + path + ": it is not a regular file");
  }
  const InputFile file(path);
  std::string text(limit + 1, '\0');
  std::size_t size = 0;
  while (size < text.size()) {
    const std::size_t got = file.source()(text.data() + size, text.size() - size);
    if (got == 0) {
      break;
    }
    size += got;
  }
  if (size > limit) {
    throw ReportIoError("cannot read " + path + ": it is larger than " + std::to_string(limit) +
                        " bytes, more than such a file holds");
  }
  text.resize(size);
  return text;
}

}  // namespace parasim::report_tool
