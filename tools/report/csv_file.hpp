#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace parasim::report_tool {

// One CSV file, written through a buffer. It is written where its StagedFiles stage the
// report's files, so it never stands half-written under its final name.
class CsvFile {
 public:
  // An empty header row writes none (a file of one line, say). Throws ReportIoError.
  CsvFile(std::filesystem::path path, std::string_view header_row);
  ~CsvFile();
  CsvFile(const CsvFile&) = delete;
  CsvFile& operator=(const CsvFile&) = delete;

  // The text of the row being built; end_row() adds its line end.
  std::string& row() { return buffer_; }
  void end_row();

  // Writes what is left and closes the file. Throws ReportIoError.
  void close();

 private:
  void flush();

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
};

}  // namespace parasim::report_tool
