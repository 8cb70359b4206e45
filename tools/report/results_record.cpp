#include "results_record.hpp"

#include <array>

namespace parasim::report_tool {
namespace {

enum class FieldKind { integer, real };

struct FieldLayout {
  const char* name;
  std::size_t first_column;  // counted from 1, as a researcher reading the file counts
  std::size_t width;
  FieldKind kind;
};

// The five fields in the order they stand on the line; each is preceded by one blank.
constexpr std::array<FieldLayout, 5> field_layouts{{
    {"generation", 2, 8, FieldKind::integer},
    {"parasite phenotype", 11, 15, FieldKind::real},
    {"host id", 27, 15, FieldKind::real},
    {"host phenotype", 43, 15, FieldKind::real},
    {"species", 59, 8, FieldKind::integer},
}};

std::string describe_field(const FieldLayout& layout) {
  return "the " + std::string(layout.name) + " field (columns " +
         std::to_string(layout.first_column) + "-" +
         std::to_string(layout.first_column + layout.width - 1) + ")";
}

std::string describe_bad_field(const FieldLayout& layout, FieldStatus status,
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
         (layout.kind == FieldKind::integer ? " is not a whole number:"
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
  if (line.size() != results_record_length) {
    return "a record has " + std::to_string(results_record_length) + " characters, this line has " +
           std::to_string(line.size());
  }
  std::array<std::int64_t, field_layouts.size()> values{};
  for (std::size_t i = 0; i < field_layouts.size(); ++i) {
    const FieldLayout& layout = field_layouts[i];
    const std::size_t blank_column = layout.first_column - 1;
    if (line[blank_column - 1] != ' ') {
      return "column " + std::to_string(blank_column) + ", before " + describe_field(layout) +
             ", must be a blank";
    }
    const std::string_view text = line.substr(layout.first_column - 1, layout.width);
    const FieldValue field =
        layout.kind == FieldKind::integer ? parse_integer_field(text) : parse_real_field(text);
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
