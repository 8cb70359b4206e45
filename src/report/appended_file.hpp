#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report/output_failure.hpp"

namespace parasim::report {

// How far a file that the run appends to had got: its length and the digest of those bytes
// (byte_digest.hpp), so that a resumed run can tell its own file from another run's.
struct FileMark {
  std::int64_t length = 0;
  std::uint64_t digest = 0;
  friend bool operator==(const FileMark&, const FileMark&) = default;
};

// A file the run appends to as it goes (the results file, the species history's abundance
// table). Every append reaches the file before append() returns, so a run stopped later
// keeps everything written before; the file's length and a digest of its bytes are kept, so
// a checkpoint can mark how far it had got and a resumed run can check it is the same file.
class AppendedFile {
 public:
  // Creates the file, or empties an existing one. Throws OutputFailure.
  explicit AppendedFile(std::string path);

  // Reopens the file of an interrupted run and cuts it back to the mark, after which the
  // run goes on appending. The caller checks the mark first (check_mark), for every file of
  // the run before any is cut. Throws OutputFailure.
  AppendedFile(std::string path, const FileMark& mark);

  ~AppendedFile();
  AppendedFile(const AppendedFile&) = delete;
  AppendedFile& operator=(const AppendedFile&) = delete;

  void append(std::string_view bytes);

  // Closes the file; a failure to close is a failed write and throws.
  void close();

  FileMark mark() const { return {length_, digest_}; }
  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void fail(OutputFailure::Operation operation, int error);

  std::string path_;
  int descriptor_ = -1;
  std::int64_t length_ = 0;
  std::uint64_t digest_ = 0;
};

// Whether the file at path begins with the bytes the mark describes (at least as long, and
// the same digest over the first mark.length bytes); throws OutputFailure (reopen, shorter
// or other_run) when it does not. Reads the file; changes nothing.
void check_mark(const std::string& path, const FileMark& mark);

}  // namespace parasim::report
