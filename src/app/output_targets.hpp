#pragma once

#include <stdexcept>
#include <string>

#include "app/command_line.hpp"

namespace parasim::app {

// An output (or the checkpoint to resume from) that the run must not use, and why.
class TargetRefused : public std::runtime_error {
 public:
  TargetRefused(std::string what, std::string path, std::string reason)
      : std::runtime_error(std::move(reason)), what_(std::move(what)), path_(std::move(path)) {}
  // What the path is for, e.g. "the checkpoint".
  const std::string& role() const { return what_; }
  const std::string& path() const { return path_; }

 private:
  std::string what_;
  std::string path_;
};

// Checks, before the dialogue and before anything is written, every file and folder the
// options name: each output is absent or a regular file (a folder where a folder is meant),
// in a folder that exists and can be written; the checkpoint to resume from is a regular
// file; and no two of them, the results file included, are the same file. Throws
// TargetRefused. Replacing a device, a link's target or another output with a run's bytes
// would lose data, so such a run never starts.
void check_output_targets(const Options& options);

}  // namespace parasim::app
