#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace parasim::report_tool {

// A results file that breaks its format; line counts from 1, the header included. The front end
// prefixes the file name and ends with the status for malformed input.
class MalformedResults : public std::runtime_error {
 public:
  MalformedResults(std::uint64_t line, const std::string& problem)
      : std::runtime_error(problem), line_(line) {}
  std::uint64_t line() const { return line_; }

 private:
  std::uint64_t line_;
};

// A file of a species history (species.csv, abundance.csv) that breaks its format or disagrees
// with the other file; line counts from 1, the header row included. The message names the file.
class MalformedHistory : public std::runtime_error {
 public:
  MalformedHistory(std::string file, std::uint64_t line, const std::string& problem)
      : std::runtime_error(problem), file_(std::move(file)), line_(line) {}
  const std::string& file() const { return file_; }
  std::uint64_t line() const { return line_; }

 private:
  std::string file_;
  std::uint64_t line_;
};

// A run record given with --record that is not one, or that is of another run than the history
// given with it; the message names the files.
class RecordRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file or folder that cannot be read, written or run; the message names it.
class ReportIoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace parasim::report_tool
