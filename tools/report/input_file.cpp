#include "input_file.hpp"

#include <cerrno>
#include <cstring>
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

}  // namespace parasim::report_tool
