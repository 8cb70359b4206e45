#include "line_splitter.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace parasim::report_tool {
namespace {

constexpr std::size_t smallest_buffer = 256;

std::string_view strip_carriage_return(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return line;
}

}  // namespace

OverlongLine::OverlongLine(std::uint64_t line, std::size_t limit)
    : std::runtime_error("the line does not end within " + std::to_string(limit) +
                         " bytes, the longest line this reader takes; no file of a run has "
                         "lines that long"),
      line_(line) {}

LineSplitter::LineSplitter(const ByteSource& source, std::size_t buffer_size)
    : source_(source),
      capacity_(std::max(buffer_size, smallest_buffer)),
      buffer_(std::make_unique<char[]>(capacity_)) {}

bool LineSplitter::next(std::string_view& line) {
  const char* newline = find_newline();
  if (newline == nullptr && !input_ended_) {
    refill();
    newline = find_newline();
    // refill() stops short of a full buffer only at a line end or the end of the input.
    if (newline == nullptr && !input_ended_) {
      throw OverlongLine(line_number_ + 1, capacity_);
    }
  }
  const char* begin = buffer_.get() + start_;
  if (newline != nullptr) {
    start_ = static_cast<std::size_t>(newline - buffer_.get()) + 1;
    ++line_number_;
    ended_without_newline_ = false;
    line =
        strip_carriage_return(std::string_view(begin, static_cast<std::size_t>(newline - begin)));
    return true;
  }
  if (start_ == end_) {
    return false;
  }
  line = strip_carriage_return(std::string_view(begin, end_ - start_));
  start_ = end_;
  ++line_number_;
  ended_without_newline_ = true;
  return true;
}

const char* LineSplitter::find_newline() const {
  return static_cast<const char*>(std::memchr(buffer_.get() + start_, '\n', end_ - start_));
}

void LineSplitter::refill() {
  std::memmove(buffer_.get(), buffer_.get() + start_, end_ - start_);
  end_ -= start_;
  start_ = 0;
  while (end_ < capacity_ && !input_ended_) {
    const std::size_t got = source_(buffer_.get() + end_, capacity_ - end_);
    input_ended_ = got == 0;
    const bool found = std::memchr(buffer_.get() + end_, '\n', got) != nullptr;
    end_ += got;
    if (found) {
      break;
    }
  }
}

}  // namespace parasim::report_tool
