#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/parameters.hpp"
#include "textio/console_reader.hpp"

namespace parasim::app {

inline constexpr int exit_status_done = 0;
inline constexpr int exit_status_input_or_file = 2;
inline constexpr int exit_status_memory = 1;

// How a failed run is reported: the first line names what failed, the last gives the
// message; the process ends with the exit status.
struct FailureReport {
  std::string statement;
  std::string message;
  int exit_status;
};

// The failures the front end raises itself, as data; report_current_failure words them.

// The answer to question `number` (1 ... 10) could not be read: a read failure, or standard
// input that cannot be read at all (system_error is then the platform's error number).
class AnswerUnreadable : public std::runtime_error {
 public:
  AnswerUnreadable(int number, textio::ReadFailure failure, int system_error = 0)
      : std::runtime_error("an answer could not be read"),
        number_(number),
        failure_(failure),
        system_error_(system_error) {}
  int number() const { return number_; }
  textio::ReadFailure failure() const { return failure_; }
  int system_error() const { return system_error_; }

 private:
  int number_;
  textio::ReadFailure failure_;
  int system_error_;
};

// A parameters file (--parameters) that does not give the ten answers once each by name.
struct ParametersFileFault {
  enum class Kind {
    not_a_setting,     // a line that is not blank, a comment or `name = value`
    unknown_name,      // name: as written
    repeated_name,     // name; first_line: where it was given first
    no_value,          // name
    several_values,    // name; value: the text after "=", holding a separator
    unreadable_value,  // name; value; read_failure: why the reader refused it
    missing_names,     // name: the names not given, ", " between them; line: the file's last
  };
  Kind kind = Kind::not_a_setting;
  std::uint64_t line = 0;  // counting from 1
  std::string name;
  std::string value;
  std::uint64_t first_line = 0;
  textio::ReadFailure read_failure = textio::ReadFailure::end_of_file;
};

class ParametersFileRefused : public std::runtime_error {
 public:
  ParametersFileRefused(std::string path, ParametersFileFault fault)
      : std::runtime_error("the parameters file gives no run"),
        path_(std::move(path)),
        fault_(std::move(fault)) {}
  const std::string& path() const { return path_; }
  const ParametersFileFault& fault() const { return fault_; }

 private:
  std::string path_;
  ParametersFileFault fault_;
};

// The answers describe no world to run in.
class ParametersRefused : public std::runtime_error {
 public:
  explicit ParametersRefused(const model::ParameterRefusal& refusal)
      : std::runtime_error("the parameters cannot be run"), refusal_(refusal) {}
  const model::ParameterRefusal& refusal() const { return refusal_; }

 private:
  model::ParameterRefusal refusal_;
};

// A file of the front end's own (a checkpoint, read or written) that failed, with the
// platform's error number.
class FileFailure : public std::runtime_error {
 public:
  // what: the operation and its file, e.g. `cannot write the checkpoint "cp.bin.tmp"`.
  FileFailure(std::string what, int error) : std::runtime_error(std::move(what)), error_(error) {}
  int error() const { return error_; }

 private:
  int error_;
};

// A run that cannot go on from the checkpoint at path, and why.
class ResumeRefused : public std::runtime_error {
 public:
  ResumeRefused(std::string path, std::string reason)
      : std::runtime_error(std::move(reason)), path_(std::move(path)) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The report for the exception being handled: call it from a catch block. Every failure a
// run can meet is worded here and nowhere else, with its exit status: 2 for input and files,
// 1 for exhausted memory.
FailureReport report_current_failure();

// The message of a failed read, e.g. "Bad integer for item 1 in list input".
std::string_view read_failure_message(textio::ReadFailure failure);

// Why the parameters are refused, e.g. "The number of hosts must be at least 1, not 0".
std::string refusal_message(const model::ParameterRefusal& refusal);

// The error report on standard error: "parasim: " and the statement, then the message;
// lines end with LF.
void write_error_report(const FailureReport& report);

}  // namespace parasim::app
