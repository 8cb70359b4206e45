#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace parasim::report {

// An operation on one of the run's output files that failed, with the file's name and the
// platform's error number (0 when the platform reported none). The front end words it.
class OutputFailure : public std::runtime_error {
 public:
  enum class Operation {
    make_folder,   // make the folder that holds the file
    use_folder,    // make files in a folder that exists
    create,        // create or empty the file for a new run
    reopen,        // open the file of an interrupted run again
    shorter,       // the file is shorter than the checkpoint says it was
    other_run,     // the file's first bytes are not those the checkpoint was taken with
    cut_back,      // cut the file back to the checkpoint's length
    write,         // write to it
    put_in_place,  // rename it from its temporary name to its own
    close,         // close it at the end of the run
  };

  OutputFailure(Operation operation, std::string path, int error)
      : std::runtime_error("an output file operation failed"),
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

// An output path a call refuses before writing anything to it (a link, a device, a folder
// where a file is meant, the same file as another output or an input), and why. The front
// end words it: "cannot use PATH as ROLE", then the reason.
class TargetRefused : public std::runtime_error {
 public:
  TargetRefused(std::string role, std::string path, std::string reason)
      : std::runtime_error(std::move(reason)), role_(std::move(role)), path_(std::move(path)) {}
  // What the path is for, e.g. "the checkpoint".
  const std::string& role() const { return role_; }
  const std::string& path() const { return path_; }

 private:
  std::string role_;
  std::string path_;
};

}  // namespace parasim::report
