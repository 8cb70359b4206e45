#include "app/output_targets.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "report/history_files.hpp"
#include "report/results_layout.hpp"

namespace parasim::app {

namespace {

namespace fs = std::filesystem;

enum class Kind { file, folder };

// How much of a target is checked here. The results file keeps the checks of its own
// opening, whose failures are reported as the run's; the files inside the history folder
// can only be looked at when the folder already exists.
enum class Check { all, same_file_only, when_folder_exists };

struct Target {
  std::string role;  // what the path is for
  std::string path;
  Kind kind;
  bool written;  // false for the checkpoint a run resumes from
  Check check = Check::all;
};

std::string folder_of(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? "." : parent.string();
}

// The same file or folder as far as the system can tell: the same device and inode when it
// exists, else the same absolute path once links in its folder are resolved.
struct Identity {
  std::optional<std::pair<dev_t, ino_t>> inode;
  std::string resolved;
  bool operator==(const Identity& other) const {
    return inode && other.inode ? *inode == *other.inode : resolved == other.resolved;
  }
};

Identity identity_of(const std::string& path) {
  Identity identity;
  std::error_code error;
  identity.resolved = fs::weakly_canonical(fs::absolute(path, error), error).string();
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    identity.inode = std::make_pair(status.st_dev, status.st_ino);
  }
  return identity;
}

void refuse(const Target& target, const std::string& reason) {
  throw TargetRefused(target.role, target.path, reason);
}

void check_one(const Target& target) {
  if (target.path.empty()) {
    refuse(target, "an empty name");
  }
  struct stat status {};
  if (!target.written) {
    if (::stat(target.path.c_str(), &status) != 0) {
      refuse(target, std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
      refuse(target, "it is not a regular file");
    }
    return;
  }
  if (::lstat(target.path.c_str(), &status) == 0) {
    if (target.kind == Kind::folder) {
      if (::stat(target.path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        refuse(target, "it exists and is not a folder");
      }
      if (::access(target.path.c_str(), W_OK | X_OK) != 0) {
        refuse(target, std::strerror(errno));
      }
      return;
    }
    if (!S_ISREG(status.st_mode)) {
      refuse(target, S_ISLNK(status.st_mode)
                         ? "it is a symbolic link, whose target would be replaced"
                         : "it exists and is not a regular file");
    }
  } else if (errno != ENOENT) {
    refuse(target, std::strerror(errno));
  }
  // A file that is written, and a folder that may have to be made, need a folder to be
  // written in.
  const std::string folder = folder_of(target.path);
  if (::stat(folder.c_str(), &status) != 0) {
    refuse(target, "its folder \"" + folder + "\" cannot be used: " + std::strerror(errno));
  }
  if (!S_ISDIR(status.st_mode)) {
    refuse(target, "\"" + folder + "\" is not a folder");
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    refuse(target, "its folder \"" + folder + "\" cannot be written: " + std::strerror(errno));
  }
}

std::vector<Target> targets_of(const Options& options) {
  std::vector<Target> targets;
  targets.push_back({"the results file", std::string(report::results_file_name), Kind::file, true,
                     Check::same_file_only});
  if (options.record_path) {
    targets.push_back({"the run record", *options.record_path, Kind::file, true});
  }
  if (options.checkpoint_path) {
    targets.push_back({"the checkpoint", *options.checkpoint_path, Kind::file, true});
    targets.push_back(
        {"the checkpoint's temporary file", *options.checkpoint_path + ".tmp", Kind::file, true});
  }
  if (options.resume_path) {
    targets.push_back({"the checkpoint to resume from", *options.resume_path, Kind::file, false});
  }
  if (options.history_path) {
    const std::string& folder = *options.history_path;
    targets.push_back({"the history folder", folder, Kind::folder, true});
    for (const std::string_view name : {report::history_species_file, report::history_abundance_file}) {
      const std::string path = (fs::path(folder) / name).string();
      targets.push_back({"the history's " + std::string(name), path, Kind::file, true,
                         Check::when_folder_exists});
      targets.push_back({"the history's " + std::string(name) + ".tmp", path + ".tmp",
                         Kind::file, true, Check::when_folder_exists});
    }
  }
  if (options.genomes_path) {
    targets.push_back({"the genomes folder", *options.genomes_path, Kind::folder, true});
  }
  return targets;
}

}  // namespace

void check_output_targets(const Options& options) {
  const std::vector<Target> targets = targets_of(options);
  std::vector<Identity> identities;
  for (const Target& target : targets) {
    std::error_code error;
    if (target.check == Check::all ||
        (target.check == Check::when_folder_exists &&
         fs::is_directory(folder_of(target.path), error))) {
      check_one(target);
    }
    identities.push_back(identity_of(target.path));
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      // A run goes on from a checkpoint and writes its next ones to the same file.
      const bool resume_and_checkpoint = !targets[j].written && targets[i].role == "the checkpoint";
      const bool resume_then_checkpoint = !targets[i].written && targets[j].role == "the checkpoint";
      // Two folders may be one: the files each output makes in it have names of their own.
      const bool both_folders = targets[i].kind == Kind::folder && targets[j].kind == Kind::folder;
      if (identities[i] == identities[j] && !resume_and_checkpoint && !resume_then_checkpoint &&
          !both_folders) {
        throw TargetRefused(targets[i].role, targets[i].path,
                            "it is the same file as " + targets[j].role + " (\"" +
                                targets[j].path + "\")");
      }
    }
  }
}

}  // namespace parasim::app
