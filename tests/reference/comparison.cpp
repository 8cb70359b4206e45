#include "reference/comparison.hpp"

#include <sstream>

#include "reference/binary_runner.hpp"

namespace parasim::reference {

namespace {

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end + 1 - start));
    start = end + 1;
  }
  return lines;
}

std::string visible(const std::string& line) {
  std::string shown;
  for (const char c : line) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else {
      shown += c;
    }
  }
  return "\"" + shown + "\"";
}

}  // namespace

std::string first_difference(const std::string& expected, const std::string& actual) {
  if (expected == actual) {
    return "";
  }
  const std::vector<std::string> want = split_lines(expected);
  const std::vector<std::string> got = split_lines(actual);
  std::size_t line = 0;
  while (line < want.size() && line < got.size() && want[line] == got[line]) {
    ++line;
  }
  std::ostringstream out;
  out << "first difference at line " << line + 1 << " (reference has " << want.size()
      << " lines, program " << got.size()
      << ")\n  reference: " << (line < want.size() ? visible(want[line]) : "<end>")
      << "\n  program:   " << (line < got.size() ? visible(got[line]) : "<end>");
  return out.str();
}

std::string describe(const ComparisonCase& test_case) {
  std::string answers = model::answers_text(test_case.parameters);
  for (char& c : answers) {
    if (c == '\n') {
      c = ' ';
    }
  }
  return test_case.name + ": answers [" + answers + "] --seed " + std::to_string(test_case.ticks);
}

Comparison compare_with_program(const std::string& program, const ComparisonCase& test_case) {
  Comparison comparison;
  comparison.expected = run_reference(test_case.parameters, test_case.ticks);
  const ReferenceRun& expected = comparison.expected;
  const ProgramRun actual =
      run_program(program, test_case.ticks, model::answers_text(test_case.parameters));
  std::vector<std::string>& problems = comparison.problems;
  if (actual.exit_status != 0) {
    problems.push_back("exit status " + std::to_string(actual.exit_status) + ", expected 0");
  }
  if (!actual.errors.empty()) {
    problems.push_back("standard error is not empty: " + actual.errors.substr(0, 400));
  }
  const std::string console = first_difference(expected.console, actual.console);
  if (!console.empty()) {
    problems.push_back("console: " + console);
  }
  if (!actual.wrote_results) {
    problems.push_back("no Output.dat was written");
  } else {
    const std::string file = first_difference(expected.output_dat, actual.output_dat);
    if (!file.empty()) {
      problems.push_back("Output.dat: " + file);
    }
  }
  return comparison;
}

}  // namespace parasim::reference
