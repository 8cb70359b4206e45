#pragma once

#include <array>
#include <string_view>

#include "textio/report_record.hpp"

namespace parasim::report {

// The results file every run writes in its working directory.
inline constexpr std::string_view results_file_name = "Output.dat";

// The six header lines, each written as a text line (a blank before it, CR LF after it).
// The third ends with a blank of its own.
inline constexpr std::array<std::string_view, 6> header_texts{{
    "This file is organized as following:",
    "--First column: generation time",
    "--Second column: parasite phenotype ",
    "--Third column: host id",
    "--Fourth column: host phenotype",
    "--Fifth column: parasite species",
}};

// After the header, one record per parasite of every reported generation, laid out by
// textio::report_record_fields: generation, phenotype, host, host phenotype, species.
using textio::report_record_fields;
using textio::report_record_length;

}  // namespace parasim::report
