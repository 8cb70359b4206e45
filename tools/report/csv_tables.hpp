#pragma once

#include <filesystem>

#include "csv_file.hpp"
#include "generation_tally.hpp"

namespace parasim::report_tool {

// Writes the tidy tables of a results file (results_tables of report_folder_files.hpp) into one
// folder, one observation per row. Standard deviations are population ones (divisor n). hosts.csv
// lists occupied hosts only; labels joins the labels on the host with ';'. points.csv holds
// one row for each phenotype carried by each species in a generation, with the number of parasites
// carrying it: every parasite is counted, none is left out. The folder is the staging folder of the
// report's StagedFiles, which puts the tables in place only once the whole report is done.
class CsvTables : public GenerationObserver {
 public:
  explicit CsvTables(const std::filesystem::path& folder);

  void generation_done(const GenerationTally& tally) override;
  void results_done() override;

 private:
  CsvFile generations_;
  CsvFile species_;
  CsvFile hosts_;
  CsvFile points_;
};

}  // namespace parasim::report_tool
