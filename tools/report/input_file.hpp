#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "results_reader.hpp"

namespace parasim::report_tool {

// A file opened for reading, handed out as a ByteSource. Throws ReportIoError, naming the file,
// when it cannot be opened or read.
class InputFile {
 public:
  explicit InputFile(std::string path);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const ByteSource& source() const { return source_; }
  const std::string& path() const { return path_; }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::string path_;
  std::unique_ptr<std::FILE, Closer> file_;
  ByteSource source_;
};

// The whole of a small regular file (a run record, a history's run.json) of at most limit
// bytes. Throws ReportIoError, naming the file, for anything else.
std::string read_small_file(const std::string& path, std::size_t limit);

}  // namespace parasim::report_tool
