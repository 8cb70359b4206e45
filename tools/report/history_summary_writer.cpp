#include "history_summary_writer.hpp"

#include "summary_items.hpp"

namespace parasim::report_tool {

void write_history_summary(std::ostream& out, const std::string& history_name,
                           const SpeciesTable& species, const HistoryStatistics& statistics) {
  const HistoryStatistics& s = statistics;
  if (species.empty()) {
    out << "Species history in " << history_name
        << ": no generation recorded (the run ran no generation).\n";
    return;
  }
  out << "Species history in " << history_name << ": generations " << s.first_generation << " to "
      << s.last_generation << "\n\n";
  summary_item(out, "species in all") << s.species_total << '\n';
  summary_item(out, "speciation events") << s.speciation_events << '\n';
  summary_item(out, "extinctions") << s.extinctions << '\n';
  summary_item(out, "first split");
  if (s.first_split) {
    const SpeciesEntry& daughter = species.at(2);
    out << "generation " << *s.first_split << " (species 2, label " << daughter.label
        << ", from species " << daughter.parent << ")\n";
  } else {
    out << "none\n";
  }
  summary_item(out, "mean lifetime of extinct species");
  if (s.mean_extinct_lifetime) {
    out << fixed_decimals(*s.mean_extinct_lifetime, 1) << " generations (" << s.extinctions
        << (s.extinctions == 1 ? " species)\n" : " species)\n");
  } else {
    out << "none died out\n";
  }
  summary_item(out, "species alive at the end")
      << s.species_at_end << " (" << s.species_at_end_min_size << " with at least " << s.min_size
      << " parasites)\n";
  // The history's count, taken at the labelling: the run record's last_generation_population,
  // not its final_population (the survivors after the last generation).
  summary_item(out, "parasites in the last generation")
      << s.population_at_end << " on " << s.hosts_occupied_at_end
      << (s.hosts_occupied_at_end == 1 ? " host" : " hosts") << ", at the start of generation "
      << s.last_generation << '\n';
  summary_item(out, "tree of the extant species")
      << s.extant_tips << (s.extant_tips == 1 ? " tip" : " tips");
  if (s.colless) {
    out << "; Colless index " << *s.colless << " (normalised "
        << fixed_decimals(*s.colless_normalised, 4) << "); gamma ";
    out << (s.gamma ? fixed_decimals(*s.gamma, 4)
                    : std::string("undefined (no time between the splits "
                                  "and the end)"));
    out << '\n';
  } else {
    out << " (Colless index and gamma need at least three)\n";
  }
  out.flush();
}

}  // namespace parasim::report_tool
