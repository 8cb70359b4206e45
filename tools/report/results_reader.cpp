#include "results_reader.hpp"

#include <string>
#include <string_view>

#include "line_splitter.hpp"
#include "report/results_layout.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

// A header line as the file holds it, without its line end: the blank every written line
// starts with, then the header text.
std::string header_line(std::size_t i) {
  std::string line(1, ' ');
  line.append(report::header_texts[i]);
  return line;
}

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
                                              " must read \"" + expected + "\" (blanks included)");
    }
  }
}

std::uint64_t read_records(LineSplitter& lines, RecordConsumer& consumer) {
  check_header(lines);
  std::uint64_t records = 0;
  std::string_view line;
  ResultsRecord record;
  while (lines.next(line)) {
    std::string problem = parse_results_record(line, record);
    if (!problem.empty()) {
      if (lines.ended_without_newline()) {
        problem += " (the file ends inside this line, as when a run is stopped while writing)";
      }
      throw MalformedResults(lines.line_number(), problem);
    }
    consumer.take(record, lines.line_number());
    ++records;
  }
  consumer.end_of_records();
  return records;
}

}  // namespace

std::uint64_t read_results(const ByteSource& source, RecordConsumer& consumer,
                           std::size_t buffer_size) {
  LineSplitter lines(source, buffer_size);
  try {
    return read_records(lines, consumer);
  } catch (const OverlongLine& overlong) {
    throw MalformedResults(overlong.line(), overlong.what());
  }
}

}  // namespace parasim::report_tool
