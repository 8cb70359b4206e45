// The checks of placed_file.hpp: each target by the rule for its kind, then every target
// against every other, the files each output folder will make in it included.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "report/placed_file.hpp"
#include "report/placement_rules.hpp"

namespace parasim::report {

namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The same file or folder as far as the system can tell: the same device and inode when it
// exists, else the same absolute path once links in its folders are resolved.
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

std::optional<std::string> name_fault(const std::string& path) {
  if (path.empty()) {
    return "an empty name";
  }
  if (path.find('\0') != std::string::npos) {
    return "the name holds a NUL byte";
  }
  return std::nullopt;
}

std::optional<std::string> input_fault(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return std::string(std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) {
    return std::string("it is not a regular file");
  }
  return std::nullopt;
}

// The files already in folder that the call would replace.
std::vector<std::string> made_files_present(const std::string& folder,
                                            const std::function<bool(std::string_view)>& makes) {
  std::vector<std::string> present;
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
  if (!listing) {
    return present;
  }
  while (const dirent* entry = ::readdir(listing.get())) {
    if (makes(entry->d_name)) {
      present.push_back((fs::path(folder) / entry->d_name).string());
    }
  }
  return present;
}

// A file the call reads or writes, as compared with the others.
struct Node {
  std::string role;
  std::string path;
  bool input = false;
  bool folder = false;
  std::string rewritten_by;
  const void* made_by = nullptr;  // the folder target whose file it is
  Identity identity;
};

bool may_be_one(const Node& a, const Node& b) {
  if ((a.input && b.input) || (a.folder && b.folder)) {
    return true;
  }
  if (a.made_by != nullptr && a.made_by == b.made_by) {
    return true;  // files of one folder have names of their own
  }
  return (a.input && a.rewritten_by == b.role) || (b.input && b.rewritten_by == a.role);
}

}  // namespace

namespace placement {

std::string folder_of(const std::string& path) {
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') {
    trimmed.remove_suffix(1);
  }
  const std::size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) {
    return ".";
  }
  return slash == 0 ? "/" : std::string(trimmed.substr(0, slash));
}

std::string_view name_of(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') {
    path.remove_suffix(1);
  }
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> file_target_fault(const std::string& path) {
  if (auto fault = name_fault(path)) {
    return fault;
  }
  if (path.back() == '/') {
    return std::string("it names a folder, not a file");
  }
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0) {
    if (S_ISREG(status.st_mode)) {
      return std::nullopt;
    }
    struct stat followed {};
    if (S_ISLNK(status.st_mode)) {
      return std::string(::stat(path.c_str(), &followed) == 0
                             ? "it is a symbolic link, whose target would be replaced"
                             : "it is a dangling symbolic link");
    }
    const char* kind = S_ISDIR(status.st_mode)                              ? "a folder"
                       : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "a device"
                       : S_ISFIFO(status.st_mode)                           ? "a fifo"
                       : S_ISSOCK(status.st_mode)                           ? "a socket"
                                                                            : "something";
    return std::string("it is ") + kind + ", which is not a regular file";
  }
  if (errno != ENOENT && errno != ENOTDIR) {
    return std::string(std::strerror(errno));
  }
  // A file that is written needs a folder to be written in.
  const std::string folder = folder_of(path);
  struct stat folder_status {};
  if (::stat(folder.c_str(), &folder_status) != 0) {
    return "its folder " + quoted(folder) + " cannot be used: " + std::strerror(errno);
  }
  if (!S_ISDIR(folder_status.st_mode)) {
    return quoted(folder) + " is not a folder";
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    return "its folder " + quoted(folder) + " cannot be written: " + std::strerror(errno);
  }
  return std::nullopt;
}

std::optional<std::string> folder_target_fault(const std::string& folder, bool may_be_absent) {
  if (auto fault = name_fault(folder)) {
    return fault;
  }
  struct stat status {};
  if (::lstat(folder.c_str(), &status) == 0) {
    if (::stat(folder.c_str(), &status) != 0) {
      return std::string(errno == ENOENT ? "it is a dangling symbolic link" : std::strerror(errno));
    }
    if (!S_ISDIR(status.st_mode)) {
      return std::string("it exists and is not a folder");
    }
    // Files are made in it and renamed there: both need write and search permission.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
      return std::string(std::strerror(errno));
    }
    return std::nullopt;
  }
  if ((errno != ENOENT && errno != ENOTDIR) || !may_be_absent) {
    return std::string(std::strerror(errno));
  }
  return missing_folders(folder).fault;
}

MissingFolders missing_folders(const std::string& folder) {
  MissingFolders missing;
  std::string at = folder;
  struct stat status {};
  while (::lstat(at.c_str(), &status) != 0) {
    const int error = errno;
    const std::string up = folder_of(at);
    if ((error != ENOENT && error != ENOTDIR) || up == at) {
      missing.fault =
          "its folder " + report::quoted(at) + " cannot be used: " + std::strerror(error);
      return missing;
    }
    missing.paths.insert(missing.paths.begin(), at);
    at = up;
  }
  if (missing.paths.empty()) {
    return missing;
  }
  // The nearest folder there takes the others: a folder, or a link to one, that can be written.
  if (::stat(at.c_str(), &status) != 0) {
    missing.fault =
        errno == ENOENT
            ? "its folder " + report::quoted(at) + " is a dangling symbolic link"
            : "its folder " + report::quoted(at) + " cannot be used: " + std::strerror(errno);
  } else if (!S_ISDIR(status.st_mode)) {
    missing.fault = report::quoted(at) + " is not a folder";
  } else if (::access(at.c_str(), W_OK | X_OK) != 0) {
    missing.fault =
        "its folder " + report::quoted(at) + " cannot be written: " + std::strerror(errno);
  }
  return missing;
}

}  // namespace placement

void OutputTargets::add_file(std::string role, std::string path) {
  targets_.push_back({std::move(role), std::move(path), Kind::file, {}, {}});
}

void OutputTargets::add_compared_file(std::string role, std::string path) {
  targets_.push_back({std::move(role), std::move(path), Kind::compared_file, {}, {}});
}

void OutputTargets::add_folder(std::string role, std::string path,
                               std::function<bool(std::string_view)> makes) {
  targets_.push_back({std::move(role), std::move(path), Kind::folder, std::move(makes), {}});
}

void OutputTargets::add_input(std::string role, std::string path, std::string rewritten_by) {
  targets_.push_back({std::move(role), std::move(path), Kind::input, {}, std::move(rewritten_by)});
}

std::function<bool(std::string_view)> any_of_names(std::vector<std::string> names) {
  return [names = std::move(names)](std::string_view name) {
    for (const std::string& candidate : names) {
      if (candidate == name) {
        return true;
      }
    }
    return false;
  };
}

void make_output_folder(const std::string& role, const std::string& folder) {
  if (auto fault = placement::folder_target_fault(folder, true)) {
    throw TargetRefused(role, folder, *fault);
  }
  std::vector<std::string> made;
  // What this call made goes again when the folder cannot be made whole (rmdir takes only an
  // empty folder, so nothing put in one meanwhile is lost).
  const auto unmake = [&made] {
    for (auto path = made.rbegin(); path != made.rend(); ++path) {
      ::rmdir(path->c_str());
    }
  };
  for (const std::string& path : placement::missing_folders(folder).paths) {
    if (::mkdir(path.c_str(), 0777) == 0) {
      made.push_back(path);
    } else if (errno != EEXIST) {  // made meanwhile, or a ".." step: checked below
      const int error = errno;
      unmake();
      throw OutputFailure(OutputFailure::Operation::make_folder, path, error);
    }
  }
  if (auto fault = placement::folder_target_fault(folder, false)) {
    unmake();
    throw TargetRefused(role, folder, *fault);
  }
}

void OutputTargets::check() const {
  std::vector<Node> nodes;
  for (const Target& target : targets_) {
    std::optional<std::string> fault;
    switch (target.kind) {
      case Kind::file:
        fault = placement::file_target_fault(target.path);
        break;
      case Kind::compared_file:
        fault = name_fault(target.path);
        break;
      case Kind::folder:
        fault = placement::folder_target_fault(target.path, true);
        break;
      case Kind::input:
        fault = name_fault(target.path);
        if (!fault) {
          fault = input_fault(target.path);
        }
        break;
    }
    if (fault) {
      throw TargetRefused(target.role, target.path, *fault);
    }
    nodes.push_back({target.role, target.path, target.kind == Kind::input,
                     target.kind == Kind::folder, target.rewritten_by, nullptr,
                     identity_of(target.path)});
    if (target.kind == Kind::folder) {
      for (std::string& path : made_files_present(target.path, target.makes)) {
        const std::string role = "a file of " + target.role;
        if (auto made_fault = placement::file_target_fault(path)) {
          throw TargetRefused(role, path, *made_fault);
        }
        Identity identity = identity_of(path);
        nodes.push_back({role, std::move(path), false, false, {}, &target, std::move(identity)});
      }
    }
  }
  const auto refuse = [](const std::string& role, const std::string& path, const Node& other) {
    throw TargetRefused(role, path,
                        "it is the same file as " + other.role + " (" + quoted(other.path) + ")");
  };
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (!may_be_one(nodes[i], nodes[j]) && nodes[i].identity == nodes[j].identity) {
        refuse(nodes[i].role, nodes[i].path, nodes[j]);
      }
    }
  }
  // A file that an output folder would make, named by a path that is not there yet or that
  // reaches the folder through a link.
  for (const Target& folder : targets_) {
    if (folder.kind != Kind::folder) {
      continue;
    }
    const Identity folder_identity = identity_of(folder.path);
    for (const Node& node : nodes) {
      if (node.folder || node.made_by == &folder) {
        continue;
      }
      const std::string_view name = placement::name_of(node.path);
      if (folder.makes(name) && identity_of(placement::folder_of(node.path)) == folder_identity) {
        refuse("a file of " + folder.role, (fs::path(folder.path) / name).string(), node);
      }
    }
  }
}

}  // namespace parasim::report
