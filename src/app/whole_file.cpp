#include "app/whole_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "app/failure_report.hpp"

namespace parasim::app {

namespace {

// A descriptor closed when it goes out of scope, so that every failure path closes it.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw FileFailure(what + " \"" + path + "\"", error);
}

}  // namespace

std::string read_whole_file(const std::string& path, const std::string& role,
                            std::size_t most_bytes) {
  const std::string what = "cannot read " + role;
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    fail(what, path, errno);
  }
  // Only a regular file has a size to stop at: a device or a pipe could go on for ever.
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    fail(what, path, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    fail(what, path, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
  }
  if (static_cast<std::uintmax_t>(status.st_size) > most_bytes) {
    fail(what, path, EFBIG);
  }
  std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t got_total = 0;
  while (got_total < bytes.size()) {
    const ssize_t got = ::read(file.get(), bytes.data() + got_total, bytes.size() - got_total);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      fail(what, path, errno);
    }
    if (got == 0) {
      break;  // the file shrank while it was read: what is there is judged as it stands
    }
    got_total += static_cast<std::size_t>(got);
  }
  bytes.resize(got_total);
  return bytes;
}

}  // namespace parasim::app
