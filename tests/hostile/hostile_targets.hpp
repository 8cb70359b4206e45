#pragma once

// The table of hostile targets (targets.tsv beside this file), made in a folder of the test's
// own: a device node made with mknod, a fifo, links, a folder, a file, a name in a folder that
// does not exist, in a file or in a dangling link. Each writer's test runs it and checks the
// refusal and that the target is as it was.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace parasim::testing {

struct HostileTarget {
  std::string kind;
  std::filesystem::path path;
  std::optional<std::string> as_file;  // what the refusal says; none when it is accepted
  std::optional<std::string> as_folder;
};

// What stands at a path, compared before and after a refused write: its kind, where a link
// points, a file's bytes.
inline std::string state_of(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    return "absent";
  }
  if (S_ISLNK(status.st_mode)) {
    return "link to " + std::filesystem::read_symlink(path).string();
  }
  if (S_ISREG(status.st_mode)) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return "file " + bytes.str();
  }
  if (S_ISDIR(status.st_mode)) {
    return "folder of " + std::to_string(std::distance(std::filesystem::directory_iterator(path),
                                                       std::filesystem::directory_iterator()));
  }
  return "mode " + std::to_string(status.st_mode) + " device " + std::to_string(status.st_rdev);
}

// Makes every target of the table in folder (which must exist and be empty), each under the
// name of its kind. Devices need root: without it the device row is left out.
inline std::vector<HostileTarget> make_hostile_targets(const std::filesystem::path& folder) {
  const std::filesystem::path table =
      std::filesystem::path(PARASIM_TESTS_DIR) / "hostile" / "targets.tsv";
  std::ifstream in(table);
  if (!in) {
    throw std::runtime_error("cannot read " + table.string());
  }
  std::filesystem::create_directories(folder / "elsewhere");
  std::ofstream(folder / "elsewhere" / "kept") << "a file of the user's";
  std::vector<HostileTarget> targets;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream fields(line);
    HostileTarget target;
    std::string as_file;
    std::string as_folder;
    std::getline(fields, target.kind, '\t');
    std::getline(fields, as_file, '\t');
    std::getline(fields, as_folder, '\t');
    if (as_file != "-") {
      target.as_file = as_file;
    }
    if (as_folder != "-") {
      target.as_folder = as_folder;
    }
    target.path = folder / target.kind;
    bool made = true;
    if (target.kind == "device") {
      made = ::mknod(target.path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    } else if (target.kind == "fifo") {
      made = ::mkfifo(target.path.c_str(), 0666) == 0;
    } else if (target.kind == "link_to_file") {
      std::filesystem::create_symlink("elsewhere/kept", target.path);
    } else if (target.kind == "dangling_link") {
      std::filesystem::create_symlink("elsewhere/absent", target.path);
    } else if (target.kind == "folder") {
      std::filesystem::create_directory(target.path);
    } else if (target.kind == "plain_file") {
      std::ofstream(target.path) << "a file of the user's";
    } else if (target.kind == "in_missing_folder") {
      target.path = folder / "missing" / "target";
    } else if (target.kind == "in_file") {
      std::ofstream(folder / "a_file") << "a file of the user's";
      target.path = folder / "a_file" / "target";
    } else if (target.kind == "in_dangling_link") {
      std::filesystem::create_symlink("elsewhere/absent", folder / "a_dangling_link");
      target.path = folder / "a_dangling_link" / "missing" / "target";
    } else {
      throw std::runtime_error("unknown kind " + target.kind + " in " + table.string());
    }
    if (made) {
      targets.push_back(std::move(target));
    }
  }
  return targets;
}

}  // namespace parasim::testing
