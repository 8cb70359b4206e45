#pragma once

#include <cstdint>
#include <string>

#include "model/report_sink.hpp"
#include "report/appended_file.hpp"
#include "report/results_layout.hpp"

namespace parasim::report {

// The results file: six header lines, then one 66-character record per parasite of
// every reported generation. Each report reaches the file before report() returns,
// so a run that is stopped later keeps every report written before.
class ResultsFile : public model::ReportSink {
 public:
  // Creates the file, or empties an existing one, and writes the header. Throws
  // OutputFailure when the file cannot be opened or written.
  explicit ResultsFile(std::string path = std::string(results_file_name));

  // Reopens the file of an interrupted run to go on writing after the mark; what came after
  // it is cut off. The caller has checked the mark (check_mark). Throws OutputFailure.
  ResultsFile(std::string path, const FileMark& mark);

  void report(std::int32_t generation, const model::Population& population,
              const model::HostTable& hosts) override;

  // Closes the file; a failure to close is a failed write and throws.
  void close() { file_.close(); }

  // How far the file has got.
  FileMark mark() const { return file_.mark(); }

 private:
  AppendedFile file_;
  std::string buffer_;
};

}  // namespace parasim::report
