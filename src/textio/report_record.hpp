#pragma once

#include <cstdint>
#include <string>

namespace parasim::textio {

// One record of the format (1X,I8,3(1x,f15.4),1X,I8): 66 characters, then CR LF.
struct ReportRecord {
  std::int32_t generation;
  double phenotype;
  double host_id;
  double host_phenotype;
  std::int32_t species_id;
};

inline constexpr int report_record_length = 66;
// The record with its CR LF.
inline constexpr int report_line_length = report_record_length + 2;

void append_report_record(std::string& out, const ReportRecord& record);

// Writes the record and its CR LF into dest: exactly report_line_length bytes,
// no terminating NUL, no allocation.
void format_report_record(char* dest, const ReportRecord& record);

}  // namespace parasim::textio
