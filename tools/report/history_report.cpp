#include "history_report.hpp"

#include "abundance_reader.hpp"
#include "genetics_reader.hpp"
#include "history_statistics.hpp"
#include "history_summary_writer.hpp"
#include "history_tables.hpp"
#include "input_file.hpp"
#include "lineages.hpp"
#include "report/history_layout.hpp"
#include "speciation_statistics.hpp"
#include "speciation_summary_writer.hpp"
#include "species_table.hpp"
#include "species_tree.hpp"

namespace parasim::report_tool {

void report_history(const std::filesystem::path& folder,
                    const std::optional<std::filesystem::path>& table_folder, std::int64_t min_size,
                    std::ostream& out, const ReportedCounts* results) {
  const SpeciesTable species = [&] {
    const InputFile file((folder / report::history_species_file).string());
    return read_species_table(file.source(), file.path());
  }();

  AbundanceTally tally(species.size());
  LastGeneration last;
  std::optional<HistoryTables> tables;
  std::vector<AbundanceObserver*> observers{&tally, &last};
  if (table_folder) {
    observers.push_back(&tables.emplace(*table_folder));
  }
  std::optional<ResultsHistoryMatch> match;
  const std::string abundance_path = (folder / report::history_abundance_file).string();
  if (results) {
    observers.push_back(&match.emplace(*results, species, abundance_path));
  }
  {
    const InputFile file(abundance_path);
    read_abundance(file.source(), file.path(), species, observers);
  }

  const std::optional<GeneticsHistory> genetics = read_genetics(folder, species);

  const SpeciesTree full_tree = full_species_tree(species);
  const SpeciesTree extant_tree = extant_species_tree(species);
  const HistoryStatistics statistics = history_statistics(species, tally, extant_tree, min_size);
  const GeneticsHistory* genetics_read = genetics ? &*genetics : nullptr;
  const SpeciationStatistics speciation =
      speciation_statistics(species, last, extant_tree, genetics_read);
  if (tables) {
    tables->finish(species, tally, full_tree, extant_tree,
                   lineages_through_time(species, extant_tree), statistics, speciation,
                   genetics_read);
  }
  write_history_summary(out, folder.string(), species, statistics);
  write_speciation_summary(out, species, speciation, results);
}

}  // namespace parasim::report_tool
