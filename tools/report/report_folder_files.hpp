#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace parasim::report_tool {

// The files a report makes in its --csv or --plot folder, named once for their writers and for
// the check of the folder before anything is read. The Python package that draws the figures
// reads the tables by the same names and header rows (parasim_report.columns).

// A table: its file name and header row (none for a tree's one line of Newick).
struct ReportTable {
  std::string_view file;
  std::string_view header;
};

// From a results file (CsvTables).
inline constexpr ReportTable generations_table{
    "generations.csv", "generation,population,species,phenotype_mean,phenotype_sd"};
inline constexpr ReportTable species_by_generation_table{
    "species_by_generation.csv",
    "generation,label,count,phenotype_mean,phenotype_sd,hosts_occupied"};
inline constexpr ReportTable hosts_table{
    "hosts.csv", "generation,host,load,host_phenotype,species_present,labels"};
inline constexpr ReportTable points_table{"points.csv", "generation,label,phenotype,count"};
inline constexpr std::array results_tables{generations_table, species_by_generation_table,
                                           hosts_table, points_table};

// From a species history (HistoryTables).
inline constexpr ReportTable tree_table{"tree.nwk", ""};
inline constexpr ReportTable extant_tree_table{"tree-extant.nwk", ""};
inline constexpr ReportTable species_history_table{
    "species_history.csv",
    "species,label,parent,born,last_seen,extant,size_at_birth,daughters,lifetime,peak_count,"
    "parasite_generations,final_count,tip_order"};
inline constexpr ReportTable species_sizes_table{"species_sizes.csv",
                                                 "generation,species,count,hosts_occupied"};
inline constexpr ReportTable host_use_table{"host_use.csv",
                                            "generation,host,host_phenotype,species,count"};
inline constexpr ReportTable lineages_table{
    "lineages.csv", "generation,species_alive,speciation_events,extinctions,extant_lineages"};
inline constexpr ReportTable history_summary_table{
    "history_summary.csv",
    "first_generation,last_generation,species_total,speciation_events,extinctions,"
    "first_split_generation,mean_extinct_lifetime,species_at_end,min_size,"
    "species_at_end_min_size,population_at_end,hosts_occupied_at_end,extant_tree_tips,"
    "colless_index,colless_normalised,gamma,daughters_on_parent_host,host_shifts,host_shift_share,"
    "divergence_generation,mean_divergence_between_extant,sister_pairs,mean_sister_divergence,"
    "groups_generation,species_spanning_groups"};
// The species alive at the end, and with the genetics tables of the history (--genetics-every)
// the divergence of each pair of them and the divergence of every sampled generation.
inline constexpr ReportTable species_at_end_table{
    "species_at_end.csv", "species,label,parent,born,birth_host,host_shift,hosts,parasites,groups"};
inline constexpr ReportTable species_pairs_table{
    "species_pairs.csv",
    "generation,species_a,label_a,species_b,label_b,sisters,mean_within_a,mean_within_b,"
    "mean_between,fst"};
inline constexpr ReportTable divergence_through_time_table{
    "divergence_through_time.csv",
    "generation,within_pairs,mean_within,between_pairs,mean_between"};
inline constexpr std::array history_tables{tree_table,
                                           extant_tree_table,
                                           species_history_table,
                                           species_sizes_table,
                                           host_use_table,
                                           lineages_table,
                                           history_summary_table,
                                           species_at_end_table,
                                           species_pairs_table,
                                           divergence_through_time_table};

// The figures the Python package draws from those tables (parasim_report.figures), each in
// every format.
inline constexpr std::array<std::string_view, 6> figure_names{
    "phenotypes", "population", "tree", "muller", "host_use", "lineages"};
inline constexpr std::array<std::string_view, 2> figure_formats{"png", "svg"};

// For the web page only, made in its own work folder (HtmlPage).
inline constexpr ReportTable host_points_table{"host_points.csv",
                                               "generation,label,phenotype,host,count"};

// Every file a report may make in its --csv or --plot folder: the tables and the figures. The
// folder is checked against the report's inputs by these names before anything is read; when
// the files are put in place, each is checked again by the name it has.
std::vector<std::string> report_folder_files();

}  // namespace parasim::report_tool
