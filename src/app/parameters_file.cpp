#include "app/parameters_file.hpp"

#include <array>
#include <charconv>
#include <sstream>

#include "app/answer_reader.hpp"
#include "app/failure_report.hpp"
#include "app/whole_file.hpp"

namespace parasim::app {

namespace {

using Kind = ParametersFileFault::Kind;

// A parameters file is ten short lines; anything much larger is not one (or is /dev/zero).
constexpr std::size_t most_file_bytes = std::size_t{1} << 20;

bool is_space(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && is_space(text.back()))
    text.remove_suffix(1);
  return text;
}

// Whether the value holds more than one item for the reader: it would read the first and drop
// the rest, or read "0,5" as 0.
bool holds_separator(std::string_view value) {
  return value.find_first_of(" \t\r\n,/") != std::string_view::npos;
}

class FileReader {
 public:
  explicit FileReader(const std::string& path) : path_(path) {}

  model::Parameters read(std::string_view text) {
    std::uint64_t line_number = 0;
    while (!text.empty()) {
      ++line_number;
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      read_line(line, line_number);
    }
    std::string missing;
    for (std::size_t i = 0; i < model::parameter_fields.size(); ++i) {
      if (given_on_[i] == 0) {
        missing += (missing.empty() ? "" : ", ") + std::string(model::parameter_fields[i].name);
      }
    }
    if (!missing.empty()) {
      refuse(Kind::missing_names, line_number == 0 ? 1 : line_number, missing);
    }
    return parameters_;
  }

 private:
  [[noreturn]] void refuse(Kind kind, std::uint64_t line, std::string name = {},
                           std::string value = {}, std::uint64_t first_line = 0,
                           textio::ReadFailure read_failure = {}) const {
    ParametersFileFault fault;
    fault.kind = kind;
    fault.line = line;
    fault.name = std::move(name);
    fault.value = std::move(value);
    fault.first_line = first_line;
    fault.read_failure = read_failure;
    throw ParametersFileRefused(path_, std::move(fault));
  }

  void read_line(std::string_view line, std::uint64_t number) {
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty())
      return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
      refuse(Kind::not_a_setting, number);
    const std::string name(trimmed(line.substr(0, equals)));
    const std::string value(trimmed(line.substr(equals + 1)));
    const model::ParameterField* field = model::find_parameter(name);
    if (field == nullptr)
      refuse(Kind::unknown_name, number, name);
    std::uint64_t& given_on =
        given_on_[static_cast<std::size_t>(field - model::parameter_fields.data())];
    if (given_on != 0) {
      refuse(Kind::repeated_name, number, name, {}, given_on);
    }
    if (value.empty())
      refuse(Kind::no_value, number, name);
    if (holds_separator(value)) {
      refuse(Kind::several_values, number, name, value);
    }
    std::istringstream item(value);
    textio::ConsoleReader reader(item);
    if (const auto failure = read_answer(reader, *field, parameters_)) {
      refuse(Kind::unreadable_value, number, name, value, 0, *failure);
    }
    given_on = number;
  }

  const std::string& path_;
  model::Parameters parameters_;
  std::array<std::uint64_t, model::parameter_fields.size()> given_on_{};  // 0: not yet
};

}  // namespace

model::Parameters parameters_from_text(std::string_view text, const std::string& path) {
  return FileReader(path).read(text);
}

model::Parameters read_parameters_file(const std::string& path) {
  return parameters_from_text(read_whole_file(path, "the parameters file", most_file_bytes), path);
}

std::string parameters_file_text(const model::Parameters& parameters) {
  std::string text;
  for (const model::ParameterField& field : model::parameter_fields) {
    text += std::string(field.name) + " = ";
    if (field.type == model::AnswerType::integer) {
      text += std::to_string(parameters.*field.integer);
    } else {
      // std::to_chars gives the shortest text that converts back to the same double, and the
      // reader converts to the nearest double: the two meet.
      char digits[64];
      const auto written = std::to_chars(digits, digits + sizeof digits, parameters.*field.real);
      text.append(digits, written.ptr);
    }
    text += '\n';
  }
  return text;
}

}  // namespace parasim::app
