#pragma once

#include <filesystem>
#include <vector>

#include "abundance_reader.hpp"
#include "csv_file.hpp"
#include "genetics_reader.hpp"
#include "history_statistics.hpp"
#include "lineages.hpp"
#include "speciation_statistics.hpp"
#include "species_table.hpp"
#include "species_tree.hpp"

namespace parasim::report_tool {

// Everything a species history gives (history_tables of report_folder_files.hpp), written into
// the folder of the tables: the species tree and the extant species' tree in Newick, one row
// per species, the sizes, host use and lineages of every generation, one row of the
// statistics of the summary, the species alive at the end, and the divergence of the genetics
// tables (a header row alone without them). The per-generation tables are written as abundance.csv
// is read, into the staging folder of the report's StagedFiles, which puts them in place only once
// the whole report is done.
class HistoryTables : public AbundanceObserver {
 public:
  explicit HistoryTables(const std::filesystem::path& folder);

  void generation_done(const AbundanceGeneration& generation) override;

  // Writes the rest and puts every file in place.
  void finish(const SpeciesTable& species, const AbundanceTally& tally,
              const SpeciesTree& full_tree, const SpeciesTree& extant_tree,
              const std::vector<LineageCount>& lineages, const HistoryStatistics& statistics,
              const SpeciationStatistics& speciation, const GeneticsHistory* genetics);

 private:
  void write_speciation_tables(const SpeciesTable& species, const SpeciationStatistics& speciation,
                               const GeneticsHistory* genetics);

  CsvFile tree_;
  CsvFile extant_tree_;
  CsvFile species_;
  CsvFile sizes_;
  CsvFile host_use_;
  CsvFile lineages_;
  CsvFile summary_;
  CsvFile at_end_;
  CsvFile pairs_;
  CsvFile through_time_;
};

}  // namespace parasim::report_tool
