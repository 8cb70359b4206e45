#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parasim::python {

// A results file as columns, one entry per record, in file order. Reals are the printed values
// (four decimals) as the nearest double.
struct ResultsColumns {
  std::vector<std::int64_t> generation;
  std::vector<double> phenotype;
  std::vector<std::int64_t> host;
  std::vector<double> host_phenotype;
  std::vector<std::int64_t> species;
};

// Reads the results file at path as parasim-report reads it: the same header and record
// checks and the same order checks (generations increasing, hosts grouped in increasing order,
// a host keeping its phenotype). Throws report_tool::MalformedResults at the first line that
// breaks the format and std::system_error ("cannot open PATH: why", as parasim-report says it)
// when the file cannot be read.
ResultsColumns read_results_columns(const std::string& path);

}  // namespace parasim::python
