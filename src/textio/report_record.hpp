#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parasim::textio {

// One record of the format (1X,I8,3(1x,f15.4),1X,I8): 66 characters, then CR LF.
struct ReportRecord {
  std::int32_t generation;
  double phenotype;
  double host_id;
  double host_phenotype;
  std::int32_t species_id;
};

// Where each value of a record stands: its first column (counted from 1, as a researcher
// reading the file counts), its width, and its decimals (integers have none). Every field
// follows one blank.
struct RecordField {
  std::string_view name;
  std::size_t first_column;
  int width;
  int decimals;
  bool integer;
};

// The five fields in the order they stand on the line, the order of ReportRecord's members.
inline constexpr std::array<RecordField, 5> report_record_fields{{
    {"generation", 2, 8, 0, true},
    {"parasite phenotype", 11, 15, 4, false},
    {"host id", 27, 15, 4, false},
    {"host phenotype", 43, 15, 4, false},
    {"species", 59, 8, 0, true},
}};

inline constexpr int report_record_length = 66;
// The record with its CR LF.
inline constexpr int report_line_length = report_record_length + 2;

static_assert(report_record_fields.back().first_column - 1 + report_record_fields.back().width ==
              report_record_length);

void append_report_record(std::string& out, const ReportRecord& record);

// Writes the record and its CR LF into dest: exactly report_line_length bytes,
// no terminating NUL, no allocation.
void format_report_record(char* dest, const ReportRecord& record);

}  // namespace parasim::textio
