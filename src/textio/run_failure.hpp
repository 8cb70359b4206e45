#pragma once

#include <stdexcept>
#include <string>

namespace parasim::textio {

// A failure that ends the run: which statement failed, the message, and the exit
// status (2 for input and file failures, 1 for exhausted memory). The model and
// the results file throw it; the front end turns it into the error report.
class RunFailure : public std::runtime_error {
 public:
  RunFailure(std::string statement, std::string message, int exit_status)
      : std::runtime_error(message),
        statement_(std::move(statement)),
        message_(std::move(message)),
        exit_status_(exit_status) {}

  const std::string& statement() const { return statement_; }
  const std::string& message() const { return message_; }
  int exit_status() const { return exit_status_; }

 private:
  std::string statement_;
  std::string message_;
  int exit_status_;
};

inline constexpr int exit_status_input_or_file = 2;
inline constexpr int exit_status_memory = 1;

// The failure for an array that cannot be created: the platform's text for the
// last error behind "Operating system error: ", then "Memory allocation failed".
RunFailure memory_failure(const std::string& array_name);

// The failure of a file operation, with the platform's text for errno_value.
RunFailure file_failure(const std::string& statement, int errno_value);

// The error report on standard error: the statement line, then the message; lines end with LF.
void write_error_report(const RunFailure& failure);

}  // namespace parasim::textio
