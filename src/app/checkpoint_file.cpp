#include "app/checkpoint_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

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

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw FileFailure(what + " \"" + path + "\"", errno);
}

}  // namespace

void write_file_atomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    fail("cannot write the checkpoint", temporary);
  }
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(descriptor, data, left);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0) {
      const int error = errno;
      ::close(descriptor);
      errno = error;
      fail("cannot write the checkpoint", temporary);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::fsync(descriptor) != 0) {
    const int error = errno;
    ::close(descriptor);
    errno = error;
    fail("cannot flush the checkpoint", temporary);
  }
  if (::close(descriptor) != 0) {
    fail("cannot close the checkpoint", temporary);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    fail("cannot put the checkpoint in place as", path);
  }
  // The rename itself is made durable by flushing the directory that holds it.
  const int directory = ::open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    ::fsync(directory);
    ::close(directory);
  }
}

std::string read_whole_file(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    fail("cannot read the checkpoint", path);
  }
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      const int error = errno;
      ::close(descriptor);
      errno = error;
      fail("cannot read the checkpoint", path);
    }
    if (got == 0) {
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(descriptor);
  return bytes;
}

}  // namespace parasim::app
