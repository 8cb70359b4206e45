#pragma once

#include <ostream>

#include "results_history_match.hpp"
#include "speciation_statistics.hpp"
#include "species_table.hpp"

namespace parasim::report_tool {

// The summary lists the FST of every pair of extant species up to this many pairs (ten
// species); past it, their mean and range, every pair being in species_pairs.csv and on the
// page.
inline constexpr std::size_t most_listed_fst_pairs = 45;

// The part of the human summary on how the species arose and how far apart they are: the
// species at the end counted by the results file's labels beside the history's extant species
// (when a results file is given), speciation on the mother's host against host shifts, and
// from the genetics tables the divergence between extant and between sister species, Hudson's
// FST of each pair of extant species, and a warning naming each species that spans several
// mating groups; without those tables, that they need --genetics-every.
void write_speciation_summary(std::ostream& out, const SpeciesTable& species,
                              const SpeciationStatistics& statistics,
                              const ReportedCounts* results);

}  // namespace parasim::report_tool
