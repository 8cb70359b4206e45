#include "textio/report_record.hpp"

#include "textio/fixed_fields.hpp"

namespace parasim::textio {

// (1X,I8,3(1x,f15.4),1X,I8): columns 1, 10, 26, 42 and 58 are blanks.
void format_report_record(char* dest, const ReportRecord& record) {
  dest[0] = ' ';
  format_integer_field(dest + 1, record.generation, 8);
  dest[9] = ' ';
  format_real_field(dest + 10, record.phenotype, 15, 4);
  dest[25] = ' ';
  format_real_field(dest + 26, record.host_id, 15, 4);
  dest[41] = ' ';
  format_real_field(dest + 42, record.host_phenotype, 15, 4);
  dest[57] = ' ';
  format_integer_field(dest + 58, record.species_id, 8);
  dest[66] = '\r';
  dest[67] = '\n';
}

void append_report_record(std::string& out, const ReportRecord& record) {
  const std::size_t old_size = out.size();
  out.resize(old_size + report_line_length);
  format_report_record(out.data() + old_size, record);
}

}  // namespace parasim::textio
