#include "report/placed_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "report/placement_rules.hpp"

namespace parasim::report {

namespace {

namespace fs = std::filesystem;
using Operation = OutputFailure::Operation;

constexpr std::string_view leftover_mark = ".parasim-";
constexpr std::size_t unique_letters = 6;

// Letters that make a name no other call of this process has; the process id in the name keeps
// other processes apart.
std::string unique_suffix() {
  static std::atomic<std::uint64_t> calls{0};
  static constexpr char letters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uint64_t state =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (calls.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  std::string suffix;
  for (std::size_t i = 0; i < unique_letters; ++i) {
    state ^= state >> 33;
    state *= 0xFF51AFD7ED558CCDull;
    state ^= state >> 33;
    suffix += letters[state % (sizeof letters - 1)];
  }
  return suffix;
}

// The process id in a name made by temporary_pattern, or 0 for any other name.
pid_t owner_of(std::string_view name) {
  const std::size_t mark = name.rfind(leftover_mark);
  if (name.empty() || name.front() != '.' || mark == std::string_view::npos || mark == 0) {
    return 0;
  }
  std::string_view rest = name.substr(mark + leftover_mark.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || rest.size() - dash - 1 != unique_letters) {
    return 0;
  }
  pid_t pid = 0;
  for (const char c : rest.substr(0, dash)) {
    if (c < '0' || c > '9' || pid > 100'000'000) {
      return 0;
    }
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

bool process_is_gone(pid_t pid) {
  return pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

void sync_folder(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    ::fsync(descriptor);
    ::close(descriptor);
  }
}

// Holds an exclusive lock on a folder while it lives.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder)
      : descriptor_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (descriptor_ < 0) {
      throw OutputFailure(Operation::use_folder, folder, errno);
    }
    while (::flock(descriptor_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        ::close(descriptor_);
        throw OutputFailure(Operation::use_folder, folder, error);
      }
    }
  }
  ~FolderLock() { ::close(descriptor_); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int descriptor_;
};

bool same_file(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Flushes a file that a library or a child process wrote to disk.
int sync_file(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    return errno;
  }
  const int error = ::fsync(descriptor) == 0 ? 0 : errno;
  ::close(descriptor);
  return error;
}

}  // namespace

namespace placement {

std::string temporary_pattern(const std::string& folder, std::string_view stem) {
  std::string path = folder;
  if (path.back() != '/') {
    path += '/';
  }
  path += '.';
  path += stem;
  path += leftover_mark;
  path += std::to_string(::getpid());
  path += '-';
  return path;
}

void sweep_leftovers(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    const std::lock_guard lock(mutex);
    if (!swept.insert(folder).second) {
      return;
    }
  }
  std::vector<std::string> leftovers;
  {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
    if (!listing) {
      return;
    }
    while (const dirent* entry = ::readdir(listing.get())) {
      const pid_t owner = owner_of(entry->d_name);
      if (owner > 0 && process_is_gone(owner)) {
        leftovers.push_back((fs::path(folder) / entry->d_name).string());
      }
    }
  }
  for (const std::string& leftover : leftovers) {
    std::error_code ignored;
    fs::remove_all(leftover, ignored);
  }
}

}  // namespace placement

// ---- PlacedFile ----

PlacedFile::PlacedFile(std::string role, std::string target, Flush flush)
    : role_(std::move(role)), target_(std::move(target)), flush_(flush) {
  if (auto fault = placement::file_target_fault(target_)) {
    throw TargetRefused(role_, target_, *fault);
  }
  const std::string folder = placement::folder_of(target_);
  placement::sweep_leftovers(folder);
  const std::string pattern = placement::temporary_pattern(folder, placement::name_of(target_));
  for (int attempt = 0; descriptor_ < 0; ++attempt) {
    temporary_ = pattern + unique_suffix();
    cleanup_slot_ = placement::track(temporary_, false);
    descriptor_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor_ < 0) {
      const int error = errno;
      placement::untrack(std::exchange(cleanup_slot_, -1));
      if (error != EEXIST || attempt == 100) {
        throw OutputFailure(Operation::create, target_, error);
      }
    }
  }
}

PlacedFile::~PlacedFile() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
  if (!placed_) {
    ::unlink(temporary_.c_str());
  }
  placement::untrack(cleanup_slot_);
}

void PlacedFile::fail(Operation operation, int error) {
  if (descriptor_ >= 0) {
    ::close(std::exchange(descriptor_, -1));
  }
  ::unlink(temporary_.c_str());
  placement::untrack(std::exchange(cleanup_slot_, -1));
  throw OutputFailure(operation, target_, error);
}

void PlacedFile::write(std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(descriptor_, data, left);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0) {
      fail(Operation::write, errno);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

void PlacedFile::commit() {
  // The descriptor reaches whatever was written to the file, also by a library that opened
  // the temporary file by its name.
  if (flush_ == Flush::to_disk && ::fsync(descriptor_) != 0) {
    fail(Operation::write, errno);
  }
  if (::close(std::exchange(descriptor_, -1)) != 0) {
    fail(Operation::close, errno);
  }
  if (auto fault = placement::file_target_fault(target_)) {
    ::unlink(temporary_.c_str());
    throw TargetRefused(role_, target_, *fault);
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    fail(Operation::put_in_place, errno);
  }
  placed_ = true;
  placement::untrack(std::exchange(cleanup_slot_, -1));
  // The rename itself is made durable by flushing the folder that holds it.
  if (flush_ == Flush::to_disk) {
    sync_folder(placement::folder_of(target_));
  }
}

void place_file(const std::string& role, const std::string& target, std::string_view bytes,
                Flush flush) {
  PlacedFile file(role, target, flush);
  file.write(bytes);
  file.commit();
}

// ---- StagedFiles ----

StagedFiles::StagedFiles(std::string role, std::string folder, std::vector<std::string> inputs)
    : role_(std::move(role)), folder_(std::move(folder)), inputs_(std::move(inputs)) {
  make_output_folder(role_, folder_);
  placement::sweep_leftovers(folder_);
  const std::string pattern = placement::temporary_pattern(folder_, "staging");
  for (int attempt = 0; staging_.empty(); ++attempt) {
    const std::string candidate = pattern + unique_suffix();
    cleanup_slot_ = placement::track(candidate, true);
    if (::mkdir(candidate.c_str(), 0700) == 0) {
      staging_ = candidate;
    } else {
      const int error = errno;
      placement::untrack(std::exchange(cleanup_slot_, -1));
      if (error != EEXIST || attempt == 100) {
        throw OutputFailure(Operation::use_folder, folder_, error);
      }
    }
  }
}

StagedFiles::~StagedFiles() {
  std::error_code ignored;
  fs::remove_all(staging_, ignored);
  placement::untrack(cleanup_slot_);
}

std::string StagedFiles::staged(std::string_view name) const {
  return (fs::path(staging_) / name).string();
}

void StagedFiles::commit_all() {
  std::set<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(staging_, error)) {
    names.insert(entry.path().filename().string());
  }
  if (error) {
    throw OutputFailure(Operation::use_folder, staging_, error.value());
  }
  commit(std::vector<std::string>(names.begin(), names.end()));
}

void StagedFiles::commit(const std::vector<std::string>& names) {
  const std::string role = "a file of " + role_;
  std::vector<std::string> targets;
  for (const std::string& name : names) {
    std::string target = (fs::path(folder_) / name).string();
    if (auto fault = placement::file_target_fault(target)) {
      throw TargetRefused(role, target, *fault);
    }
    for (const std::string& input : inputs_) {
      if (same_file(target, input)) {
        throw TargetRefused(role, target, "it is \"" + input + "\", which is read to make it");
      }
    }
    if (const int sync_error = sync_file(staged(name)); sync_error != 0) {
      throw OutputFailure(Operation::write, target, sync_error);
    }
    targets.push_back(std::move(target));
  }
  // Renames within one file system take no room, so once they start nothing fails for a full
  // disk; the lock keeps another call's set from being moved in between.
  const FolderLock lock(folder_);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (::rename(staged(names[i]).c_str(), targets[i].c_str()) != 0) {
      const int error = errno;
      for (std::size_t j = 0; j < i; ++j) {
        ::unlink(targets[j].c_str());
      }
      throw OutputFailure(Operation::put_in_place, targets[i], error);
    }
  }
  sync_folder(folder_);
}

}  // namespace parasim::report
