#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace parasim::report_tool {

// The folder for tables, made when missing. Throws ReportIoError when it cannot be used.
const std::filesystem::path& table_folder(const std::filesystem::path& folder);

// One CSV file that replaces its earlier version only when it is complete: rows go to a partial
// file beside it, which commit() renames over the final name. A file never committed is removed,
// so a results file found malformed half-way leaves the tables of an earlier report untouched.
class CsvFile {
 public:
  // An empty header row writes none (a file of one line, say).
  CsvFile(std::filesystem::path path, const std::string& header_row);
  ~CsvFile();
  CsvFile(const CsvFile&) = delete;
  CsvFile& operator=(const CsvFile&) = delete;

  // The text of the row being built; end_row() adds its line end.
  std::string& row() { return buffer_; }
  void end_row();

  void commit();

 private:
  void flush();

  std::filesystem::path path_;
  std::filesystem::path partial_path_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
};

}  // namespace parasim::report_tool
