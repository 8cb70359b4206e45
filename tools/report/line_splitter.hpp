#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "results_reader.hpp"

namespace parasim::report_tool {

// A line that does not end within the splitter's buffer. No file of a run has one: it is refused
// whole rather than handed on in pieces, which would be read as several lines.
class OverlongLine : public std::runtime_error {
 public:
  OverlongLine(std::uint64_t line, std::size_t limit);
  std::uint64_t line() const { return line_; }

 private:
  std::uint64_t line_;
};

// Splits an input into lines with one buffer, refilled as lines are taken from it, so that
// memory does not grow with the length of the input. Lines may end with CR LF or LF. This is
// the one line reader of every file parasim-report reads.
class LineSplitter {
 public:
  LineSplitter(const ByteSource& source, std::size_t buffer_size);

  // The next line without its line end; false at the end of the input. Throws OverlongLine for
  // a line that, with its line end, does not fit in the buffer.
  bool next(std::string_view& line);

  // The number of the line last returned, counting from 1; 0 before the first.
  std::uint64_t line_number() const { return line_number_; }

  // Whether the line last returned was cut short by the end of the input.
  bool ended_without_newline() const { return ended_without_newline_; }

 private:
  const char* find_newline() const;
  void refill();

  const ByteSource& source_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  std::uint64_t line_number_ = 0;
  bool input_ended_ = false;
  bool ended_without_newline_ = false;
};

}  // namespace parasim::report_tool
