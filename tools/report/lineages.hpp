#pragma once

#include <cstdint>
#include <vector>

#include "species_table.hpp"
#include "species_tree.hpp"

namespace parasim::report_tool {

// The lineages of one generation, counted after its labelling.
struct LineageCount {
  std::int32_t generation = 0;
  std::int64_t species_alive = 0;      // species with carriers
  std::int64_t speciation_events = 0;  // species born after the founders' so far
  std::int64_t extinctions = 0;        // species gone so far: an extinction counts from the
                                       // first generation that no longer shows the species
  std::int64_t extant_lineages = 0;    // branches of the extant species' tree at this time
};

// One count per generation from the founding to the last generation; extant_tree is
// extant_species_tree(species). Memory grows with the number of generations.
std::vector<LineageCount> lineages_through_time(const SpeciesTable& species,
                                                const SpeciesTree& extant_tree);

}  // namespace parasim::report_tool
