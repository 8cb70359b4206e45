#include "results_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "report/results_layout.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::size_t smallest_buffer = 256;

// A header line as the file holds it, without its line end: the blank every written line
// starts with, then the header text.
std::string header_line(std::size_t i) {
  std::string line(1, ' ');
  line.append(report::header_texts[i]);
  return line;
}

// Splits the input into lines with one buffer, refilled as lines are taken from it.
class LineSplitter {
 public:
  LineSplitter(const ByteSource& source, std::size_t buffer_size)
      : source_(source),
        capacity_(std::max(buffer_size, smallest_buffer)),
        buffer_(std::make_unique<char[]>(capacity_)) {}

  // The next line without its line end; false at the end of the input. A line longer than the
  // buffer comes back cut to the buffer's size, which no valid line reaches.
  bool next(std::string_view& line) {
    const char* newline = find_newline();
    if (newline == nullptr && !input_ended_) {
      refill();
      newline = find_newline();
    }
    const char* begin = buffer_.get() + start_;
    if (newline != nullptr) {
      start_ = static_cast<std::size_t>(newline - buffer_.get()) + 1;
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
    ended_without_newline_ = input_ended_;
    return true;
  }

  // Whether the line last returned was cut short by the end of the input.
  bool ended_without_newline() const { return ended_without_newline_; }

 private:
  const char* find_newline() const {
    return static_cast<const char*>(std::memchr(buffer_.get() + start_, '\n', end_ - start_));
  }

  void refill() {
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

  static std::string_view strip_carriage_return(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    return line;
  }

  const ByteSource& source_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  bool input_ended_ = false;
  bool ended_without_newline_ = false;
};

void check_header(LineSplitter& lines) {
  for (std::size_t i = 0; i < report::header_texts.size(); ++i) {
    const std::string expected = header_line(i);
    std::string_view line;
    const std::uint64_t line_number = i + 1;
    if (!lines.next(line)) {
      throw MalformedResults(line_number,
                             "the file ends inside its six-line header; a results file "
                             "starts with the header line \"" +
                                 expected + "\"");
    }
    if (line != expected) {
      throw MalformedResults(line_number, "header line " + std::to_string(line_number) +
                                              " must read \"" + expected +
                                              "\" (blanks included)");
    }
  }
}

}  // namespace

std::uint64_t read_results(const ByteSource& source, RecordConsumer& consumer,
                           std::size_t buffer_size) {
  LineSplitter lines(source, buffer_size);
  check_header(lines);
  std::uint64_t line_number = report::header_texts.size();
  std::uint64_t records = 0;
  std::string_view line;
  ResultsRecord record;
  while (lines.next(line)) {
    ++line_number;
    std::string problem = parse_results_record(line, record);
    if (!problem.empty()) {
      if (lines.ended_without_newline()) {
        problem += " (the file ends inside this line, as when a run is stopped while writing)";
      }
      throw MalformedResults(line_number, problem);
    }
    consumer.take(record, line_number);
    ++records;
  }
  consumer.end_of_records();
  return records;
}

}  // namespace parasim::report_tool
