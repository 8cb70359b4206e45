#pragma once

#include "model/host_table.hpp"
#include "model/parameters.hpp"
#include "model/population.hpp"
#include "random/deviate_stream.hpp"
#include "random/generator.hpp"

namespace parasim::model {

// Builds the founder genome in row 0 (ones at distinct loci drawn one deviate per
// try, a draw that hits a locus already set being discarded) and copies it into
// the three founder rows, all on host 1 with species 1. Draws from the run's stream,
// or from a generator (random::Generator or random::DeviateStream).
template <typename Source>
void build_founders(Population& population, Source& generator);

// Lays the hosts out on the phenotype line: host 1 at the founders' phenotype, then
// alternately one more spacing above and below it (hosts 2, 4, ... above; 3, 5, ...
// below). Host 1 carries the three founders.
HostTable build_host_line(const Parameters& parameters, const DerivedValues& derived,
                          double founder_phenotype);

}  // namespace parasim::model
