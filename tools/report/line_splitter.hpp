#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "results_reader.hpp"

namespace parasim::report_tool {

// Splits an input into lines with one buffer, refilled as lines are taken from it, so that
// memory does not grow with the length of the input. Lines may end with CR LF or LF.
class LineSplitter {
 public:
  LineSplitter(const ByteSource& source, std::size_t buffer_size);

  // The next line without its line end; false at the end of the input. A line longer than the
  // buffer comes back cut to the buffer's size.
  bool next(std::string_view& line);

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
  bool input_ended_ = false;
  bool ended_without_newline_ = false;
};

}  // namespace parasim::report_tool
