#include "speciation_summary_writer.hpp"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <string>

#include "summary_items.hpp"

namespace parasim::report_tool {
namespace {

std::string species_name(const SpeciesTable& species, std::int32_t number) {
  return "species " + std::to_string(number) + " (label " +
         std::to_string(species.at(number).label) + ")";
}

// A label is one species at one generation, so the two counts differ only by their generations.
void write_counts_at_end(std::ostream& out, const SpeciesTable& species,
                         const SpeciationStatistics& statistics, const ReportedCounts& results) {
  if (results.reports().empty()) {
    return;
  }
  const ReportedCounts::Report& last = results.reports().back();
  summary_item(out, "species at the end, two counts")
      << last.labels.size() << " labels in " << results.results_name() << " (generation "
      << last.generation << "), " << statistics.at_end.size()
      << " extant species in the history (generation " << species.last_generation() << ")\n";
  summary_item(out, "");
  if (last.generation == species.last_generation()) {
    out << "the same generation, so the same species: each carries one label at a time\n";
  } else {
    out << "they differ as their generations do: the results file reports every tenth "
           "generation, the history every one\n";
  }
}

void write_fst(std::ostream& out, const SpeciesTable& species,
               const SpeciationStatistics& statistics) {
  const std::vector<SpeciesPairDivergence>& pairs = statistics.extant_pairs;
  if (pairs.empty()) {
    return;
  }
  if (pairs.size() <= most_listed_fst_pairs) {
    out << "  Hudson's FST of each pair of extant species (1 - mean within / mean between):\n";
    for (const SpeciesPairDivergence& pair : pairs) {
      out << "    " << species_name(species, pair.species_a) << " and "
          << species_name(species, pair.species_b) << ": "
          << (pair.fst ? fixed_decimals(*pair.fst, 4) : std::string("undefined")) << " (between "
          << fixed_decimals(*pair.between, 2) << " loci" << (pair.sisters ? ", sisters)\n" : ")\n");
    }
    return;
  }
  double sum = 0.0;
  double least = 1.0;
  double most = -1.0;
  std::size_t defined = 0;
  for (const SpeciesPairDivergence& pair : pairs) {
    if (pair.fst) {
      sum += *pair.fst;
      least = std::min(least, *pair.fst);
      most = std::max(most, *pair.fst);
      ++defined;
    }
  }
  summary_item(out, "Hudson's FST of extant pairs") << pairs.size() << " pairs";
  if (defined > 0) {
    out << "; over the " << defined << " defined, mean "
        << fixed_decimals(sum / static_cast<double>(defined), 4) << ", from "
        << fixed_decimals(least, 4) << " to " << fixed_decimals(most, 4);
  }
  out << "; every pair in species_pairs.csv (--csv) and on the page (--html)\n";
}

void write_genetics(std::ostream& out, const SpeciesTable& species,
                    const SpeciationStatistics& statistics) {
  if (!statistics.has_divergence && !statistics.has_groups) {
    out << "\nGenetic divergence, FST and mating groups need a run with --genetics-every G "
           "(this history has no divergence.csv or groups.csv).\n";
    return;
  }
  out << "\nGenetics of the extant species";
  if (statistics.has_divergence) {
    out << ", divergence.csv at generation " << statistics.divergence_generation;
  }
  if (statistics.has_groups) {
    out << ", groups.csv at generation " << statistics.groups_generation;
  }
  out << ":\n";
  if (statistics.has_divergence) {
    summary_item(out, "divergence between extant species");
    if (statistics.mean_divergence_between_extant) {
      out << fixed_decimals(*statistics.mean_divergence_between_extant, 2)
          << " loci, the mean over " << statistics.extant_pairs.size() << " pairs of species\n";
    } else {
      out << "none (fewer than two extant species sampled)\n";
    }
    summary_item(out, "divergence between sister species");
    if (statistics.mean_sister_divergence) {
      out << fixed_decimals(*statistics.mean_sister_divergence, 2) << " loci, the mean over "
          << statistics.sister_pairs << " pairs of sisters\n";
    } else {
      out << "none (no pair of sister species sampled)\n";
    }
    write_fst(out, species, statistics);
  }
  if (!statistics.has_groups) {
    return;
  }
  if (statistics.spanning.empty()) {
    summary_item(out, "species across mating groups") << "none: each species is in one group\n";
    return;
  }
  out << "  Warning: " << statistics.spanning.size()
      << (statistics.spanning.size() == 1 ? " species spans" : " species span")
      << " several mating groups (parasites out of each other's mating reach):\n";
  for (const std::size_t i : statistics.spanning) {
    const SpeciesAtEnd& row = statistics.at_end[i];
    out << "    " << species_name(species, row.entry->species) << " in " << *row.groups
        << " groups\n";
  }
}

}  // namespace

void write_speciation_summary(std::ostream& out, const SpeciesTable& species,
                              const SpeciationStatistics& statistics,
                              const ReportedCounts* results) {
  if (species.empty()) {
    return;
  }
  if (results) {
    write_counts_at_end(out, species, statistics, *results);
  }
  summary_item(out, "daughters on the mother's host")
      << statistics.daughters_on_parent_host << '\n';
  summary_item(out, "daughters by a host shift") << statistics.host_shifts;
  if (statistics.host_shift_share) {
    out << " (" << fixed_decimals(*statistics.host_shift_share, 4) << " of the "
        << statistics.daughters_on_parent_host + statistics.host_shifts
        << " daughters whose hosts are known)";
  }
  out << '\n';
  write_genetics(out, species, statistics);
  out.flush();
}

}  // namespace parasim::report_tool
