#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "line_splitter.hpp"
#include "results_reader.hpp"

namespace parasim::report_tool {

// Reads a comma-separated table as parasim writes them: a fixed header row, then rows of plain
// fields (no quoting), every line ended by LF or CR LF, each line no longer than the buffer.
// Each problem is thrown as
// MalformedHistory naming the file and the line, the header row being line 1.
class CsvRowReader {
 public:
  CsvRowReader(const ByteSource& source, std::string file_name,
               std::size_t buffer_size = default_read_buffer_size);

  // Reads the header row; it must be exactly `header`.
  void expect_header(std::string_view header);
  // Reads the header row of a table that runs have written in more than one layout: it must be
  // exactly one of `headers`, the current layout first. Returns the place of the one it is.
  std::size_t expect_header_among(std::initializer_list<std::string_view> headers);

  // Reads the next row into fields(); false at the end of the input. A row must have exactly
  // `field_count` fields and end with a line end.
  bool next_row(std::size_t field_count);

  std::string_view field(std::size_t i) const { return fields_[i]; }
  std::uint64_t line() const { return line_; }
  const std::string& file_name() const { return file_name_; }

  // A whole number from `least` to `most`, written in decimal digits with an optional '-'.
  std::int64_t whole(std::size_t i, std::string_view column, std::int64_t least,
                     std::int64_t most) const;
  // A finite real number.
  double real(std::size_t i, std::string_view column) const;
  // "true" or "false".
  bool truth(std::size_t i, std::string_view column) const;

  [[noreturn]] void fail(const std::string& problem) const;

 private:
  // The next line from lines_, its number in line_; a line too long for the buffer is a fault.
  bool next_line(std::string_view& line);

  LineSplitter lines_;
  std::string file_name_;
  std::uint64_t line_ = 0;
  std::vector<std::string_view> fields_;
};

}  // namespace parasim::report_tool
