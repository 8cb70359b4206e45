#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results_reader.hpp"
#include "species_table.hpp"

namespace parasim::report_tool {

// The parasites of one species on one host in one generation (a row of abundance.csv; the
// label is checked against species.csv and left out).
struct AbundanceRow {
  std::int32_t species = 0;
  std::int32_t host = 0;
  double host_phenotype = 0.0;
  std::int64_t count = 0;
  double phenotype_mean = 0.0;
  double phenotype_sd = 0.0;
  std::uint64_t line = 0;  // of the row in abundance.csv
};

// One generation of abundance.csv: its rows ordered by species, then host.
struct AbundanceGeneration {
  std::int32_t generation = 0;
  std::vector<AbundanceRow> rows;
};

// Receives the generations of abundance.csv in order, each once it is complete and checked.
class AbundanceObserver {
 public:
  virtual ~AbundanceObserver() = default;
  virtual void generation_done(const AbundanceGeneration& generation) = 0;
  // Called once after the last generation; not called when the file is malformed.
  virtual void abundance_done() {}
};

// Reads abundance.csv against the species table it goes with and hands each generation to the
// observers. Checks the format; that generations run without a gap from the founding to the
// last generation of the species table, each ordered by species, then host; that every row's
// species and label are those of species.csv and it lived then, and every species that lived
// then has a row; that each species' rows at its birth generation add up to its size_at_birth,
// and have most of its parasites on its birth_host, and its parent's rows then on its
// parent_host (the lower host on a tie), where species.csv gives them; and that each host keeps
// one phenotype. Throws MalformedHistory at the first fault. Keeps one
// generation at a time.
//
// The counts of the whole table add up to at most INT64_MAX (a table past it is refused at the
// row that passes it): no run holds that many parasites, and so every sum of counts the
// observers form (by species, by host, by generation, over the run) fits an std::int64_t.
void read_abundance(const ByteSource& source, const std::string& file_name,
                    const SpeciesTable& species, const std::vector<AbundanceObserver*>& observers,
                    std::size_t buffer_size = default_read_buffer_size);

}  // namespace parasim::report_tool
