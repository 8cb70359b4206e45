#include "csv_row_reader.hpp"

#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

std::string quoted(std::string_view text) {
  std::string out(1, '"');
  out += text;
  out += '"';
  return out;
}

}  // namespace

CsvRowReader::CsvRowReader(const ByteSource& source, std::string file_name, std::size_t buffer_size)
    : lines_(source, buffer_size), file_name_(std::move(file_name)) {}

void CsvRowReader::fail(const std::string& problem) const {
  throw MalformedHistory(file_name_, line_, problem);
}

bool CsvRowReader::next_line(std::string_view& line) {
  try {
    const bool more = lines_.next(line);
    line_ = lines_.line_number();
    return more;
  } catch (const OverlongLine& overlong) {
    line_ = overlong.line();
    fail(overlong.what());
  }
}

void CsvRowReader::expect_header(std::string_view header) {
  expect_header_among({header});
}

std::size_t CsvRowReader::expect_header_among(std::initializer_list<std::string_view> headers) {
  const std::string_view current = *headers.begin();
  std::string_view line;
  if (!next_line(line)) {
    line_ = 1;
    fail("the file is empty; it starts with the header row " + std::string(current));
  }
  for (std::size_t i = 0; i < headers.size(); ++i) {
    if (line == headers.begin()[i]) {
      return i;
    }
  }
  fail("the header row must be " + std::string(current));
}

bool CsvRowReader::next_row(std::size_t field_count) {
  std::string_view line;
  if (!next_line(line)) {
    return false;
  }
  if (lines_.ended_without_newline()) {
    fail("the file ends inside this row, as when a run is stopped while writing it");
  }
  fields_.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields_.push_back(line.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) {
      break;
    }
    start = comma + 1;
  }
  if (fields_.size() != field_count) {
    fail(std::to_string(fields_.size()) + (fields_.size() == 1 ? " field" : " fields") +
         ", expected " + std::to_string(field_count));
  }
  return true;
}

std::int64_t CsvRowReader::whole(std::size_t i, std::string_view column, std::int64_t least,
                                 std::int64_t most) const {
  const std::string_view text = fields_[i];
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size()) {
    fail(std::string(column) + " " + quoted(text) + " is not a whole number");
  }
  if (error == std::errc::result_out_of_range || value < least || value > most) {
    fail(std::string(column) + " " + std::string(text) + " is out of range (" +
         std::to_string(least) + " to " + std::to_string(most) + ")");
  }
  return value;
}

double CsvRowReader::real(std::size_t i, std::string_view column) const {
  const std::string_view text = fields_[i];
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    fail(std::string(column) + " " + quoted(text) + " is not a finite number");
  }
  return value;
}

bool CsvRowReader::truth(std::size_t i, std::string_view column) const {
  const std::string_view text = fields_[i];
  if (text == "true") {
    return true;
  }
  if (text != "false") {
    fail(std::string(column) + " must be true or false, not " + quoted(text));
  }
  return false;
}

}  // namespace parasim::report_tool
