#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "model/report_sink.hpp"
#include "report/results_layout.hpp"

namespace parasim::report {

// An operation on the results file that failed, with the file's name and the platform's
// error number (0 when the platform reported none). The front end words the report.
class ResultsFileFailure : public std::runtime_error {
 public:
  enum class Operation {
    create,          // create or empty the file for a new run
    reopen,          // open the file of an interrupted run again
    shorter,         // the file is shorter than the checkpoint says it was (no error number)
    cut_back,        // cut the file back to the checkpoint's length
    write,           // write a report
    close,           // close the file at the end of the run
  };

  ResultsFileFailure(Operation operation, std::string path, int error)
      : std::runtime_error("results file operation failed"),
        operation_(operation),
        path_(std::move(path)),
        error_(error) {}

  Operation operation() const { return operation_; }
  const std::string& path() const { return path_; }
  int error() const { return error_; }

 private:
  Operation operation_;
  std::string path_;
  int error_;
};

// The results file: six header lines, then one 66-character record per parasite of
// every reported generation. Each report reaches the file before report() returns,
// so a run that is stopped later keeps every report written before.
class ResultsFile : public model::ReportSink {
 public:
  // Creates the file, or empties an existing one, and writes the header. Throws
  // ResultsFileFailure when the file cannot be opened or written.
  explicit ResultsFile(std::string path = std::string(results_file_name));

  // Reopens the file of an interrupted run to go on writing after its first `length`
  // bytes; what came after them is cut off. Throws ResultsFileFailure when the file
  // cannot be opened or is shorter than that.
  ResultsFile(std::string path, std::int64_t length);
  ~ResultsFile() override;
  ResultsFile(const ResultsFile&) = delete;
  ResultsFile& operator=(const ResultsFile&) = delete;

  void report(std::int32_t generation, const model::Population& population,
              const model::HostTable& hosts) override;

  // Closes the file; a failure to close is a failed write and throws.
  void close();

  // Bytes written so far.
  std::int64_t length() const { return length_; }

 private:
  [[noreturn]] void fail(ResultsFileFailure::Operation operation, int error);
  void write_all(const std::string& text);

  std::string path_;
  int descriptor_ = -1;
  std::int64_t length_ = 0;
  std::string buffer_;
};

}  // namespace parasim::report
