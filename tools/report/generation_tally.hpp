#pragma once

#include <cstdint>
#include <vector>

#include "phenotype_moments.hpp"
#include "record_fields.hpp"

namespace parasim::report_tool {

struct SpeciesTally {
  std::int64_t species_id = 0;
  PhenotypeMoments phenotypes;  // its count is the number of parasites of the species
  std::uint64_t hosts_occupied = 0;
};

struct HostTally {
  std::int64_t host_id = 0;
  TenThousandths host_phenotype = 0;
  std::uint64_t load = 0;
  std::vector<std::int64_t> species_present;  // distinct labels, ascending
};

// The parasites of one generation that share a phenotype and a species.
struct PhenotypePoint {
  TenThousandths phenotype = 0;
  std::int64_t species_id = 0;
  std::uint64_t count = 0;
};

// Everything the tool keeps about one reported generation; the record lines themselves are gone.
struct GenerationTally {
  std::int64_t generation = 0;
  std::uint64_t first_line = 0;        // of its first record
  PhenotypeMoments phenotypes;         // its count is the population
  std::vector<SpeciesTally> species;   // ascending label
  std::vector<HostTally> hosts;        // occupied hosts only, ascending host id
  std::vector<PhenotypePoint> points;  // ascending species, then ascending phenotype
};

// Receives each generation once its last record has been read.
class GenerationObserver {
 public:
  virtual ~GenerationObserver() = default;
  virtual void generation_done(const GenerationTally& tally) = 0;
  // After the last generation, once the whole file has been read and found well-formed.
  virtual void results_done() = 0;
};

}  // namespace parasim::report_tool
