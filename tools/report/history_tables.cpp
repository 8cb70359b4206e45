#include "history_tables.hpp"

#include <charconv>
#include <string>

#include "report_folder_files.hpp"

namespace parasim::report_tool {
namespace {

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  out += std::to_string(value);
}

// The shortest text that reads back to the same double, as the history itself writes reals.
void append_shortest(std::string& out, double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  out.append(text, end);
}

template <typename Value>
void append_optional(std::string& out, const std::optional<Value>& value) {
  if (value) {
    if constexpr (std::is_same_v<Value, bool>) {
      out += *value ? "true" : "false";
    } else if constexpr (std::is_floating_point_v<Value>) {
      append_shortest(out, *value);
    } else {
      append_integer(out, *value);
    }
  }
}

template <typename... Values>
void append_row(CsvFile& file, const Values&... values) {
  std::string& row = file.row();
  bool first = true;
  const auto append = [&](const auto& value) {
    if (!first) {
      row += ',';
    }
    first = false;
    using Value = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<Value, std::string>) {
      row += value;
    } else if constexpr (std::is_same_v<Value, bool>) {
      row += value ? "true" : "false";
    } else if constexpr (std::is_floating_point_v<Value>) {
      append_shortest(row, value);
    } else if constexpr (std::is_integral_v<Value>) {
      append_integer(row, value);
    } else {
      append_optional(row, value);
    }
  };
  (append(values), ...);
  file.end_row();
}

// A value the genetics tables give, empty when the history has none.
template <typename Value>
std::optional<Value> known(bool given, Value value) {
  return given ? std::optional<Value>(value) : std::nullopt;
}

std::optional<bool> host_shift(const SpeciesEntry& entry) {
  if (entry.birth_host == 0 || entry.parent_host == 0) {
    return std::nullopt;
  }
  return entry.birth_host != entry.parent_host;
}

}  // namespace

void HistoryTables::write_speciation_tables(const SpeciesTable& species,
                                            const SpeciationStatistics& speciation,
                                            const GeneticsHistory* genetics) {
  for (const SpeciesAtEnd& row : speciation.at_end) {
    const SpeciesEntry& entry = *row.entry;
    append_row(at_end_, entry.species, entry.label,
               entry.parent == 0 ? std::optional<std::int32_t>() : entry.parent, entry.born,
               entry.birth_host == 0 ? std::optional<std::int32_t>() : entry.birth_host,
               host_shift(entry), row.hosts, row.parasites, row.groups);
  }
  for (const SpeciesPairDivergence& pair : speciation.extant_pairs) {
    append_row(pairs_, speciation.divergence_generation, pair.species_a,
               species.at(pair.species_a).label, pair.species_b, species.at(pair.species_b).label,
               pair.sisters, pair.within_a, pair.within_b, pair.between, pair.fst);
  }
  if (genetics) {
    for (const DivergenceThroughTime& sample : genetics->through_time) {
      append_row(through_time_, sample.generation, sample.within_pairs, sample.mean_within,
                 sample.between_pairs, sample.mean_between);
    }
  }
}

HistoryTables::HistoryTables(const std::filesystem::path& folder)
    : tree_(folder / tree_table.file, tree_table.header),
      extant_tree_(folder / extant_tree_table.file, extant_tree_table.header),
      species_(folder / species_history_table.file, species_history_table.header),
      sizes_(folder / species_sizes_table.file, species_sizes_table.header),
      host_use_(folder / host_use_table.file, host_use_table.header),
      lineages_(folder / lineages_table.file, lineages_table.header),
      summary_(folder / history_summary_table.file, history_summary_table.header),
      at_end_(folder / species_at_end_table.file, species_at_end_table.header),
      pairs_(folder / species_pairs_table.file, species_pairs_table.header),
      through_time_(folder / divergence_through_time_table.file,
                    divergence_through_time_table.header) {}

void HistoryTables::generation_done(const AbundanceGeneration& generation) {
  const std::vector<AbundanceRow>& rows = generation.rows;
  std::size_t first_of_species = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const AbundanceRow& row = rows[i];
    append_row(host_use_, generation.generation, row.host, row.host_phenotype, row.species,
               row.count);
    if (i + 1 == rows.size() || rows[i + 1].species != row.species) {
      std::int64_t count = 0;
      for (std::size_t j = first_of_species; j <= i; ++j) {
        count += rows[j].count;
      }
      append_row(sizes_, generation.generation, row.species, count, i + 1 - first_of_species);
      first_of_species = i + 1;
    }
  }
}

void HistoryTables::finish(const SpeciesTable& species, const AbundanceTally& tally,
                           const SpeciesTree& full_tree, const SpeciesTree& extant_tree,
                           const std::vector<LineageCount>& lineages,
                           const HistoryStatistics& statistics,
                           const SpeciationStatistics& speciation,
                           const GeneticsHistory* genetics) {
  tree_.row() += newick_text(full_tree, species);
  extant_tree_.row() += newick_text(extant_tree, species);
  tree_.end_row();
  extant_tree_.end_row();

  std::vector<std::int64_t> tip_order(species.size(), 0);
  const std::vector<std::int32_t> tips = full_tree.tip_species();
  for (std::size_t i = 0; i < tips.size(); ++i) {
    tip_order[static_cast<std::size_t>(tips[i]) - 1] = static_cast<std::int64_t>(i) + 1;
  }
  for (const SpeciesEntry& entry : species.entries()) {
    const std::size_t index = static_cast<std::size_t>(entry.species) - 1;
    const SpeciesAbundanceTotals& totals = tally.totals()[index];
    append_row(species_, entry.species, entry.label,
               entry.parent == 0 ? std::optional<std::int32_t>() : entry.parent, entry.born,
               entry.last_seen, entry.extant, entry.size_at_birth,
               species.daughters(entry.species).size(), lifetime(entry), totals.peak_count,
               totals.parasite_generations, totals.final_count, tip_order[index]);
  }
  for (const LineageCount& count : lineages) {
    append_row(lineages_, count.generation, count.species_alive, count.speciation_events,
               count.extinctions, count.extant_lineages);
  }
  const HistoryStatistics& s = statistics;
  append_row(summary_, s.first_generation, s.last_generation, s.species_total, s.speciation_events,
             s.extinctions, s.first_split, s.mean_extinct_lifetime, s.species_at_end, s.min_size,
             s.species_at_end_min_size, s.population_at_end, s.hosts_occupied_at_end, s.extant_tips,
             s.colless, s.colless_normalised, s.gamma, speciation.daughters_on_parent_host,
             speciation.host_shifts, speciation.host_shift_share,
             known(speciation.has_divergence, speciation.divergence_generation),
             speciation.mean_divergence_between_extant,
             known(speciation.has_divergence, speciation.sister_pairs),
             speciation.mean_sister_divergence,
             known(speciation.has_groups, speciation.groups_generation),
             known(speciation.has_groups, static_cast<std::int64_t>(speciation.spanning.size())));
  write_speciation_tables(species, speciation, genetics);

  for (CsvFile* file : {&tree_, &extant_tree_, &species_, &sizes_, &host_use_, &lineages_,
                        &summary_, &at_end_, &pairs_, &through_time_}) {
    file->close();
  }
}

}  // namespace parasim::report_tool
