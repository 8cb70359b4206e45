#pragma once

#include <cstdint>
#include <string>

#include "model/report_sink.hpp"

namespace parasim::report {

// The results file: six header lines, then one 66-character record per parasite of
// every reported generation. Each report reaches the file before report() returns,
// so a run that is stopped later keeps every report written before.
class ResultsFile : public model::ReportSink {
 public:
  static constexpr const char* default_name = "Output.dat";

  // Creates the file, or empties an existing one, and writes the header. Throws
  // textio::RunFailure when the file cannot be opened or written.
  explicit ResultsFile(std::string path = default_name);

  // Reopens the file of an interrupted run to go on writing after its first `length`
  // bytes; what came after them is cut off. Throws textio::RunFailure when the file
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
  void write_all(const std::string& text);

  std::string path_;
  int descriptor_ = -1;
  std::int64_t length_ = 0;
  std::string buffer_;
};

}  // namespace parasim::report
