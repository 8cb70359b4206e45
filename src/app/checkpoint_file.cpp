#include "app/checkpoint_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/failure_report.hpp"

namespace parasim::app {

namespace {

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

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
  // Closes now; returns the result of close.
  int close() { return ::close(std::exchange(descriptor_, -1)); }

 private:
  int descriptor_;
};

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw FileFailure(what + " \"" + path + "\"", error);
}

}  // namespace

void write_file_atomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  // A checkpoint that cannot be written whole leaves no temporary file behind.
  const auto fail_and_remove = [&temporary](const std::string& what, int error) {
    ::unlink(temporary.c_str());
    fail(what, temporary, error);
  };
  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.get() < 0) {
    fail("cannot write the checkpoint", temporary, errno);
  }
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(file.get(), data, left);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0) {
      fail_and_remove("cannot write the checkpoint", errno);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::fsync(file.get()) != 0) {
    fail_and_remove("cannot flush the checkpoint", errno);
  }
  if (file.close() != 0) {
    fail_and_remove("cannot close the checkpoint", errno);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    fail("cannot put the checkpoint in place as", path, error);
  }
  // The rename itself is made durable by flushing the directory that holds it.
  Descriptor directory(::open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) {
    ::fsync(directory.get());
  }
}

std::string read_whole_file(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    fail("cannot read the checkpoint", path, errno);
  }
  // Only a regular file has a size to stop at: a device or a pipe could go on for ever.
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    fail("cannot read the checkpoint", path, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    fail("cannot read the checkpoint", path, S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
  }
  std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t got_total = 0;
  while (got_total < bytes.size()) {
    const ssize_t got = ::read(file.get(), bytes.data() + got_total, bytes.size() - got_total);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      fail("cannot read the checkpoint", path, errno);
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
