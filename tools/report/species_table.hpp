#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results_reader.hpp"

namespace parasim::report_tool {

// One row of a history's species.csv: one species of the run, in order of origin.
struct SpeciesEntry {
  std::int32_t species = 0;  // 1, 2, ... in order of origin
  std::int32_t label = 0;    // the label it carries in Output.dat
  std::int32_t parent = 0;   // the species it split from; 0 for species 1
  std::int32_t born = 0;     // the generation whose labelling gave it its label
  std::int32_t size_at_birth = 0;
  std::int32_t last_seen = 0;  // the last generation whose labelling left it a carrier
  bool extant = false;         // it has carriers after the last labelling of the run
  // The host holding most of its parasites at its birth, and the same for its parent's
  // parasites then; 0 where the table leaves it empty (none, or not known).
  std::int32_t birth_host = 0;
  std::int32_t parent_host = 0;
};

// Every species of a run, checked for consistency: species s at index s - 1, daughters born
// while their parent lived, no label carried by two species at once, and the extant species
// exactly those seen at the last generation.
class SpeciesTable {
 public:
  SpeciesTable() = default;
  explicit SpeciesTable(std::vector<SpeciesEntry> entries);

  const std::vector<SpeciesEntry>& entries() const { return entries_; }
  const SpeciesEntry& at(std::int32_t species) const;
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  // The last generation of the run that labelled a population (0 when there is none).
  std::int32_t last_generation() const { return last_generation_; }

  // The daughters of a species, in order of origin.
  const std::vector<std::int32_t>& daughters(std::int32_t species) const;

 private:
  std::vector<SpeciesEntry> entries_;
  std::vector<std::vector<std::int32_t>> daughters_;
  std::int32_t last_generation_ = 0;
};

// Reads and checks species.csv, of the current layout or of the one before the host columns
// (whose hosts read as 0); file_name is the name used in messages. Throws MalformedHistory at
// the first row that breaks the format or contradicts an earlier row.
SpeciesTable read_species_table(const ByteSource& source, const std::string& file_name,
                                std::size_t buffer_size = default_read_buffer_size);

}  // namespace parasim::report_tool
