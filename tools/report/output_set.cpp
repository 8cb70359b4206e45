#include "output_set.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "report_errors.hpp"

namespace parasim::report_tool {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what, const fs::path& path, int error) {
  throw ReportIoError("cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

// Holds an exclusive lock on a folder while it lives.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder)
      : descriptor_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (descriptor_ < 0) {
      fail("open", folder, errno);
    }
    while (::flock(descriptor_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int error = errno;
        ::close(descriptor_);
        fail("lock", folder, error);
      }
    }
  }
  ~FolderLock() { ::close(descriptor_); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int descriptor_;
};

}  // namespace

OutputSet::OutputSet(const fs::path& folder) : folder_(folder) {
  std::error_code error;
  fs::create_directories(folder_, error);
  if (error || !fs::is_directory(folder_)) {
    throw ReportIoError("cannot use " + folder_.string() + " as the folder for the tables" +
                        (error ? ": " + error.message() : ": it is not a folder"));
  }
  // mkdtemp makes a name no other process has.
  std::string pattern = (folder_ / ".parasim-report-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    fail("make a staging folder in", folder_, errno);
  }
  staging_ = pattern;
}

OutputSet::~OutputSet() {
  if (!staging_.empty()) {
    std::error_code ignored;
    fs::remove_all(staging_, ignored);
  }
}

void OutputSet::commit() {
  std::vector<fs::path> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(staging_, error)) {
    names.push_back(entry.path().filename());
  }
  if (error) {
    fail("read", staging_, error.value());
  }
  // Renames within one file system take no room, so once they start nothing can fail for a
  // full disk; the lock keeps another report's set from being moved in between.
  const FolderLock lock(folder_);
  for (const fs::path& name : names) {
    if (::rename((staging_ / name).c_str(), (folder_ / name).c_str()) != 0) {
      fail("put in place", folder_ / name, errno);
    }
  }
}

}  // namespace parasim::report_tool
