#include "textio/report_record.hpp"

#include <cstring>

#include "textio/fixed_fields.hpp"

namespace parasim::textio {

namespace {

char* field_start(char* dest, std::size_t field) {
  return dest + report_record_fields[field].first_column - 1;
}

void format_integer(char* dest, std::size_t field, std::int64_t value) {
  format_integer_field(field_start(dest, field), value, report_record_fields[field].width);
}

void format_real(char* dest, std::size_t field, double value) {
  const RecordField& layout = report_record_fields[field];
  format_real_field(field_start(dest, field), value, layout.width, layout.decimals);
}

}  // namespace

void format_report_record(char* dest, const ReportRecord& record) {
  std::memset(dest, ' ', report_record_length);
  format_integer(dest, 0, record.generation);
  format_real(dest, 1, record.phenotype);
  format_real(dest, 2, record.host_id);
  format_real(dest, 3, record.host_phenotype);
  format_integer(dest, 4, record.species_id);
  dest[report_record_length] = '\r';
  dest[report_record_length + 1] = '\n';
}

void append_report_record(std::string& out, const ReportRecord& record) {
  const std::size_t old_size = out.size();
  out.resize(old_size + report_line_length);
  format_report_record(out.data() + old_size, record);
}

}  // namespace parasim::textio
