#include "results_record.hpp"

#include <array>

#include "textio/report_record.hpp"

namespace parasim::report_tool {
namespace {

using textio::RecordField;

std::string describe_field(const RecordField& layout) {
  return "the " + std::string(layout.name) + " field (columns " +
         std::to_string(layout.first_column) + "-" +
         std::to_string(layout.first_column + static_cast<std::size_t>(layout.width) - 1) + ")";
}

std::string describe_bad_field(const RecordField& layout, FieldStatus status,
                               std::string_view text) {
  std::string quoted = " \"" + std::string(text) + "\"";
  // A damaged file may hold any byte; keep the message readable on a terminal.
  for (char& c : quoted) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
      c = '?';
    }
  }
  switch (status) {
    case FieldStatus::blank:
      return describe_field(layout) + " is blank";
    case FieldStatus::overflowed:
      return describe_field(layout) +
             " holds asterisks: the value was too wide for its field when the run wrote it";
    case FieldStatus::malformed:
    case FieldStatus::ok:
      break;
  }
  return describe_field(layout) +
         (layout.integer ? " is not a whole number:"
                                            : " is not a number with four decimals:") +
         quoted;
}

std::string describe_real(TenThousandths value) {
  std::string text;
  append_real(text, value);
  return text;
}

// The checks on values that a well-formed field can still fail.
std::string check_values(const ResultsRecord& record) {
  if (record.generation < 1) {
    return "the generation must be at least 1, found " + std::to_string(record.generation);
  }
  if (record.host_id % ten_thousandths_per_unit != 0) {
    return "the host id " + describe_real(record.host_id) + " is not a whole number";
  }
  if (record.host_id < ten_thousandths_per_unit) {
    return "the host id must be at least 1, found " + describe_real(record.host_id);
  }
  if (record.species_id < 1) {
    return "the species must be at least 1, found " + std::to_string(record.species_id);
  }
  return {};
}

}  // namespace

std::string parse_results_record(std::string_view line, ResultsRecord& record) {
  constexpr auto record_length = static_cast<std::size_t>(textio::report_record_length);
  if (line.size() != record_length) {
    return "a record has " + std::to_string(record_length) + " characters, this line has " +
           std::to_string(line.size());
  }
  std::array<std::int64_t, textio::report_record_fields.size()> values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    const RecordField& layout = textio::report_record_fields[i];
    const std::size_t blank_column = layout.first_column - 1;
    if (line[blank_column - 1] != ' ') {
      return "column " + std::to_string(blank_column) + ", before " + describe_field(layout) +
             ", must be a blank";
    }
    const std::string_view text =
        line.substr(layout.first_column - 1, static_cast<std::size_t>(layout.width));
    const FieldValue field =
        layout.integer ? parse_integer_field(text) : parse_real_field(text);
    if (field.status != FieldStatus::ok) {
      return describe_bad_field(layout, field.status, text);
    }
    values[i] = field.value;
  }
  record.generation = values[0];
  record.phenotype = values[1];
  record.host_id = values[2];
  record.host_phenotype = values[3];
  record.species_id = values[4];
  std::string problem = check_values(record);
  if (problem.empty()) {
    record.host_id /= ten_thousandths_per_unit;
  }
  return problem;
}

}  // namespace parasim::report_tool
