#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "report/output_failure.hpp"

namespace parasim::report {

// How every program of parasim puts a file where it is asked to: the target is checked before
// anything is written, the bytes go to a temporary file of this process's own beside it, which
// is flushed to disk, renamed over the target, and the rename flushed; a failure at any step,
// or SIGINT/SIGTERM in a console program, removes the temporary file. Whoever looks at the
// target sees the old file or the new one, whole, never a part.
//
// One rule for every output: a file target is absent or a regular file. A symbolic link
// (dangling or not), a device, a fifo, a socket or a folder is refused, never written through
// or replaced; the folder that takes the file must exist and be writable.
//
// Temporary files and staging folders are named ".NAME.parasim-PID-XXXXXX", unique to the
// process that made them: they can clobber nothing, and those left by a process that is gone
// (killed with SIGKILL) are removed by the next one that writes into the same folder.

// ---- Checking the targets of one call ----

// The outputs and inputs of one call, checked together before anything is written.
class OutputTargets {
 public:
  // A file the call writes, checked by the rule above.
  void add_file(std::string role, std::string path);

  // A file that the call opens in a way of its own, with checks of its own (parasim's results
  // file): only compared with the other targets.
  void add_compared_file(std::string role, std::string path);

  // A folder the call makes files in: a folder (or a link to one), or absent, to be made with
  // its missing parents in the nearest folder on its way that is there, which must be a folder
  // (or a link to one) that can be written. `makes` tells the names of the files the call may
  // make in it; every other target that would be one of them is refused, and those that
  // exist already must be regular files. Two folder outputs may be one folder.
  void add_folder(std::string role, std::string path, std::function<bool(std::string_view)> makes);

  // A file the call reads: a regular file (a link to one is fine) that no output may be.
  // `rewritten_by` names the role of the one output that may be the same file (a checkpoint a
  // run resumes from and goes on writing).
  void add_input(std::string role, std::string path, std::string rewritten_by = {});

  // Throws TargetRefused for the first target at fault.
  void check() const;

 private:
  enum class Kind { file, compared_file, folder, input };
  struct Target {
    std::string role;
    std::string path;
    Kind kind;
    std::function<bool(std::string_view)> makes;  // folders
    std::string rewritten_by;                     // inputs
  };
  std::vector<Target> targets_;
};

// The names of a fixed set of files, for add_folder.
std::function<bool(std::string_view)> any_of_names(std::vector<std::string> names);

// Makes a folder when it is missing, with the folders missing on its way (as mkdir -p does; a
// file or a dangling link on the way is refused), and checks that files can be made in it: a
// folder or a link to one that can be written; a dangling link is named as such. Throws
// TargetRefused, or OutputFailure (make_folder) naming the folder that cannot be made, after
// removing those this call made.
void make_output_folder(const std::string& role, const std::string& folder);

// ---- Writing ----

// Whether a file is flushed to disk before it is renamed over its target, and the rename after.
// A file rewritten every generation from state that the run's checkpoint carries anyway (the
// history's species table) is only renamed: a reader still never sees a part of it, and two
// flushes a generation would make a run with a history three times as slow.
enum class Flush { to_disk, rename_only };

// One file written beside its target under a temporary name and put in place by commit().
class PlacedFile {
 public:
  // Checks the target by the rule above and creates the temporary file (mode 0666 less the
  // umask). Throws TargetRefused, or OutputFailure (create).
  PlacedFile(std::string role, std::string target, Flush flush = Flush::to_disk);
  // Removes the temporary file unless it was put in place.
  ~PlacedFile();
  PlacedFile(const PlacedFile&) = delete;
  PlacedFile& operator=(const PlacedFile&) = delete;

  // Where the bytes go; a library or a child process that writes the file itself is handed it.
  const std::string& temporary() const { return temporary_; }

  // Throws OutputFailure (write) naming the target.
  void write(std::string_view bytes);

  // Flushes the file to disk, checks the target again (it may have changed since), renames the
  // temporary file over it and flushes the folder (no flushes with Flush::rename_only). Throws
  // TargetRefused or OutputFailure.
  void commit();

 private:
  [[noreturn]] void fail(OutputFailure::Operation operation, int error);

  std::string role_;
  std::string target_;
  std::string temporary_;
  Flush flush_;
  int descriptor_ = -1;
  int cleanup_slot_ = -1;
  bool placed_ = false;
};

// The whole of `bytes` as the file at target, through a PlacedFile.
void place_file(const std::string& role, const std::string& target, std::string_view bytes,
                Flush flush = Flush::to_disk);

// Files made together in a staging folder of this process's own inside a folder, and moved
// into the folder together by commit(), under a lock on the folder, so that two calls into one
// folder leave the whole set of one of them, never a mix; a call that fails leaves the
// folder's earlier files as they were.
class StagedFiles {
 public:
  // Makes the folder when missing (make_output_folder), removes staging folders and temporary
  // files there of processes that are gone, and makes the staging folder. `inputs` are files
  // the call reads, which commit() refuses to replace. Throws TargetRefused or OutputFailure.
  StagedFiles(std::string role, std::string folder, std::vector<std::string> inputs = {});
  // Removes the staging folder and whatever is still in it.
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Where the files are written; a library or a child process is handed these paths.
  const std::string& staging() const { return staging_; }
  std::string staged(std::string_view name) const;

  // Moves the files named, in this order, from the staging folder into the folder (a file whose
  // readers look for the others beside it goes last). Before the first move, every target is
  // checked: absent or a regular file, and none of the inputs. When a move fails, the files of
  // this set already moved are removed again, so that none stands beside files it does not
  // belong with. Throws TargetRefused or OutputFailure.
  void commit(const std::vector<std::string>& names);

  // Moves every file of the staging folder into the folder, as commit() does.
  void commit_all();

 private:
  std::string role_;
  std::string folder_;
  std::string staging_;
  std::vector<std::string> inputs_;
  int cleanup_slot_ = -1;
};

// ---- Clean-up on a signal ----

// For console programs (parasim, parasim-report; not the Python module, whose interpreter owns
// SIGINT): on SIGINT or SIGTERM, kills the child registered with ChildToKill, removes every
// live temporary file and staging folder, then dies by the same signal.
void clean_up_on_signals();

// A child process that the signal clean-up kills first, for as long as this object lives (the
// child must not write into a staging folder that is being removed).
class ChildToKill {
 public:
  explicit ChildToKill(pid_t child);
  ~ChildToKill();
  ChildToKill(const ChildToKill&) = delete;
  ChildToKill& operator=(const ChildToKill&) = delete;
};

}  // namespace parasim::report
