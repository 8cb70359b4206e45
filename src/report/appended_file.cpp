#include "report/appended_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "report/byte_digest.hpp"

namespace parasim::report {

using Operation = OutputFailure::Operation;

AppendedFile::AppendedFile(std::string path) : path_(std::move(path)), digest_(empty_digest) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor_ < 0) {
    fail(Operation::create, errno);
  }
}

AppendedFile::AppendedFile(std::string path, const FileMark& mark)
    : path_(std::move(path)), length_(mark.length), digest_(mark.digest) {
  descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor_ < 0) {
    fail(Operation::reopen, errno);
  }
  if (::ftruncate(descriptor_, mark.length) != 0 ||
      ::lseek(descriptor_, mark.length, SEEK_SET) != mark.length) {
    fail(Operation::cut_back, errno);
  }
}

AppendedFile::~AppendedFile() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

// The file is closed first: a constructor that throws leaves no destructor to do it.
void AppendedFile::fail(Operation operation, int error) {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
    descriptor_ = -1;
  }
  throw OutputFailure(operation, path_, error);
}

void AppendedFile::append(std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(descriptor_, data, left);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail(Operation::write, errno);
    }
    digest_ = extend_digest(digest_, data, static_cast<std::size_t>(written));
    data += written;
    left -= static_cast<std::size_t>(written);
    length_ += written;
  }
}

void AppendedFile::close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0 && errno != EINTR) {
    throw OutputFailure(Operation::close, path_, errno);
  }
}

void check_mark(const std::string& path, const FileMark& mark) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    throw OutputFailure(Operation::reopen, path, errno);
  }
  std::vector<char> buffer(std::size_t{1} << 20);
  std::uint64_t digest = empty_digest;
  std::int64_t left = mark.length;
  while (left > 0) {
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
    const ssize_t got = ::read(descriptor, buffer.data(), wanted);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      const int error = got < 0 ? errno : 0;
      ::close(descriptor);
      throw OutputFailure(got < 0 ? Operation::reopen : Operation::shorter, path, error);
    }
    digest = extend_digest(digest, buffer.data(), static_cast<std::size_t>(got));
    left -= got;
  }
  ::close(descriptor);
  if (digest != mark.digest) {
    throw OutputFailure(Operation::other_run, path, 0);
  }
}

}  // namespace parasim::report
