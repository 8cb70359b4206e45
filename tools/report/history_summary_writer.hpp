#pragma once

#include <ostream>
#include <string>

#include "history_statistics.hpp"
#include "species_table.hpp"

namespace parasim::report_tool {

// The part of the human summary that a species history gives: speciation events, extinctions,
// the first split, lifetimes, the species at the end and the shape of the extant species' tree.
void write_history_summary(std::ostream& out, const std::string& history_name,
                           const SpeciesTable& species, const HistoryStatistics& statistics);

}  // namespace parasim::report_tool
