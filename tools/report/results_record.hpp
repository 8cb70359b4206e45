#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "record_fields.hpp"

namespace parasim::report_tool {

// One line of the results file after its header: one parasite of a reported generation.
struct ResultsRecord {
  std::int64_t generation = 0;
  TenThousandths phenotype = 0;
  std::int64_t host_id = 0;
  TenThousandths host_phenotype = 0;
  std::int64_t species_id = 0;
};

// Reads a record from line, given without its line end. Returns an empty text when the line is a
// valid record, stored in record; otherwise a sentence saying what is wrong with it.
std::string parse_results_record(std::string_view line, ResultsRecord& record);

}  // namespace parasim::report_tool
