#include "history_summary_writer.hpp"

#include <iomanip>
#include <sstream>

namespace parasim::report_tool {
namespace {

constexpr int label_width = 36;

std::ostream& item(std::ostream& out, const char* name) {
  return out << "  " << std::left << std::setw(label_width) << name << std::right;
}

std::string fixed(double value, int decimals) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(decimals) << value;
  return text.str();
}

}  // namespace

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
  item(out, "species in all") << s.species_total << '\n';
  item(out, "speciation events") << s.speciation_events << '\n';
  item(out, "extinctions") << s.extinctions << '\n';
  item(out, "first split");
  if (s.first_split) {
    const SpeciesEntry& daughter = species.at(2);
    out << "generation " << *s.first_split << " (species 2, label " << daughter.label
        << ", from species " << daughter.parent << ")\n";
  } else {
    out << "none\n";
  }
  item(out, "mean lifetime of extinct species");
  if (s.mean_extinct_lifetime) {
    out << fixed(*s.mean_extinct_lifetime, 1) << " generations (" << s.extinctions
        << (s.extinctions == 1 ? " species)\n" : " species)\n");
  } else {
    out << "none died out\n";
  }
  item(out, "species alive at the end") << s.species_at_end << " (" << s.species_at_end_min_size
                                        << " with at least " << s.min_size << " parasites)\n";
  // The history's count, taken at the labelling: the run record's last_generation_population,
  // not its final_population (the survivors after the last generation).
  item(out, "parasites in the last generation")
      << s.population_at_end << " on " << s.hosts_occupied_at_end
      << (s.hosts_occupied_at_end == 1 ? " host" : " hosts") << ", at the start of generation "
      << s.last_generation << '\n';
  item(out, "tree of the extant species")
      << s.extant_tips << (s.extant_tips == 1 ? " tip" : " tips");
  if (s.colless) {
    out << "; Colless index " << *s.colless << " (normalised " << fixed(*s.colless_normalised, 4)
        << "); gamma ";
    out << (s.gamma ? fixed(*s.gamma, 4)
                    : std::string("undefined (no time between the splits "
                                  "and the end)"));
    out << '\n';
  } else {
    out << " (Colless index and gamma need at least three)\n";
  }
  out.flush();
}

}  // namespace parasim::report_tool
