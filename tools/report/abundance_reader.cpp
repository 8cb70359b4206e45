#include "abundance_reader.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>

#include "csv_row_reader.hpp"
#include "report/history_layout.hpp"
#include "report_errors.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::int64_t most_int32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t most_int64 = std::numeric_limits<std::int64_t>::max();

std::string real_text(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// Counts the species that lived at each generation, for generations taken in increasing order.
class LivingSpecies {
 public:
  explicit LivingSpecies(const SpeciesTable& species) : species_(species) {
    for (const SpeciesEntry& entry : species.entries()) {
      last_seen_.push_back(entry.last_seen);
    }
    std::sort(last_seen_.begin(), last_seen_.end());
  }

  std::size_t count_at(std::int32_t generation) {
    // Species are listed in order of birth.
    while (born_ < species_.size() && species_.entries()[born_].born <= generation) {
      ++born_;
    }
    while (ended_ < last_seen_.size() && last_seen_[ended_] < generation) {
      ++ended_;
    }
    return born_ - ended_;
  }

 private:
  const SpeciesTable& species_;
  std::vector<std::int32_t> last_seen_;
  std::size_t born_ = 0;
  std::size_t ended_ = 0;
};

class AbundanceChecker {
 public:
  AbundanceChecker(CsvRowReader& rows, const SpeciesTable& species,
                   const std::vector<AbundanceObserver*>& observers)
      : rows_(rows), species_(species), observers_(observers), living_(species) {}

  void take_row() {
    const auto generation = static_cast<std::int32_t>(rows_.whole(0, "generation", 1, most_int32));
    AbundanceRow row;
    row.species = static_cast<std::int32_t>(
        rows_.whole(1, "species", 1, static_cast<std::int64_t>(species_.size())));
    const SpeciesEntry& entry = species_.at(row.species);
    const auto label = rows_.whole(2, "label", 1, most_int32);
    if (label != entry.label) {
      rows_.fail("species " + std::to_string(row.species) + " carries label " +
                 std::to_string(entry.label) + " in species.csv, not " + std::to_string(label));
    }
    row.host = static_cast<std::int32_t>(rows_.whole(3, "host", 1, most_int32));
    row.host_phenotype = rows_.real(4, "host_phenotype");
    row.count = rows_.whole(5, "count", 1, most_int64);
    if (row.count > most_int64 - counted_) {
      rows_.fail("the counts of the table add up past " + std::to_string(most_int64) +
                 " here; no run holds that many parasites");
    }
    counted_ += row.count;
    row.phenotype_mean = rows_.real(6, "phenotype_mean");
    row.phenotype_sd = rows_.real(7, "phenotype_sd");
    if (row.phenotype_sd < 0.0) {
      rows_.fail("phenotype_sd " + std::string(rows_.field(7)) + " is negative");
    }

    if (!started_ || generation != current_.generation) {
      start_generation(generation);
    } else {
      const AbundanceRow& previous = current_.rows.back();
      if (row.species < previous.species ||
          (row.species == previous.species && row.host <= previous.host)) {
        rows_.fail("rows of a generation go by species, then host: species " +
                   std::to_string(row.species) + " on host " + std::to_string(row.host) +
                   " comes after species " + std::to_string(previous.species) + " on host " +
                   std::to_string(previous.host));
      }
    }
    if (generation < entry.born || generation > entry.last_seen) {
      rows_.fail("species " + std::to_string(row.species) + " has carriers at generation " +
                 std::to_string(generation) + ", but species.csv gives it generations " +
                 std::to_string(entry.born) + " to " + std::to_string(entry.last_seen));
    }
    check_host_phenotype(row);
    row.line = rows_.line();
    current_.rows.push_back(row);
  }

  void finish() {
    if (started_) {
      finish_generation();
    }
    const std::int32_t reached = started_ ? current_.generation : 0;
    if (reached != species_.last_generation()) {
      rows_.fail(started_ ? "the table ends at generation " + std::to_string(reached) +
                                ", but species.csv runs to generation " +
                                std::to_string(species_.last_generation())
                          : "the table has no rows, but species.csv lists " +
                                std::to_string(species_.size()) + " species");
    }
    for (AbundanceObserver* observer : observers_) {
      observer->abundance_done();
    }
  }

 private:
  void start_generation(std::int32_t generation) {
    if (started_) {
      if (generation < current_.generation) {
        rows_.fail("generation " + std::to_string(generation) + " comes after generation " +
                   std::to_string(current_.generation) + ": generations go in increasing order");
      }
      finish_generation();
    }
    const std::int32_t expected =
        started_ ? current_.generation + 1 : (species_.empty() ? 1 : species_.at(1).born);
    if (generation > species_.last_generation()) {
      rows_.fail("generation " + std::to_string(generation) +
                 " is after the last generation in species.csv (" +
                 std::to_string(species_.last_generation()) + ")");
    }
    if (generation != expected) {
      rows_.fail("generation " + std::to_string(generation) + " where generation " +
                 std::to_string(expected) + " was due: every generation has its rows");
    }
    started_ = true;
    current_.generation = generation;
    current_.rows.clear();
  }

  // Every species that lived in the generation has a row; the rows' species all lived then; a
  // species born in it has as many parasites as its size at birth.
  void finish_generation() {
    std::size_t distinct = 0;
    std::int64_t species_count = 0;
    const AbundanceRow* main_row = nullptr;  // the species' row with most parasites, lowest host
    main_hosts_.clear();
    for (std::size_t i = 0; i < current_.rows.size(); ++i) {
      const AbundanceRow& row = current_.rows[i];
      const bool first_of_species = i == 0 || row.species != current_.rows[i - 1].species;
      distinct += first_of_species;
      species_count += row.count;
      if (first_of_species || row.count > main_row->count) {
        main_row = &row;
      }
      if (i + 1 == current_.rows.size() || current_.rows[i + 1].species != row.species) {
        check_size_at_birth(row, species_count);
        main_hosts_[row.species] = main_row->host;
        check_hosts_at_birth(row);
        species_count = 0;
      }
    }
    if (distinct != living_.count_at(current_.generation)) {
      rows_.fail("generation " + std::to_string(current_.generation) + " has no row for species " +
                 std::to_string(missing_species()) + ", which lived then by species.csv");
    }
    for (AbundanceObserver* observer : observers_) {
      observer->generation_done(current_);
    }
  }

  std::int32_t missing_species() const {
    for (const SpeciesEntry& entry : species_.entries()) {
      if (entry.born <= current_.generation && current_.generation <= entry.last_seen &&
          std::none_of(current_.rows.begin(), current_.rows.end(),
                       [&](const AbundanceRow& row) { return row.species == entry.species; })) {
        return entry.species;
      }
    }
    return 0;
  }

  // last_row: the species' last row of the generation; count: its rows' counts summed.
  void check_size_at_birth(const AbundanceRow& last_row, std::int64_t count) const {
    const SpeciesEntry& entry = species_.at(last_row.species);
    if (entry.born == current_.generation && entry.size_at_birth != count) {
      throw MalformedHistory(rows_.file_name(), last_row.line,
                             "species " + std::to_string(entry.species) + " has " +
                                 std::to_string(count) + " parasites at generation " +
                                 std::to_string(entry.born) +
                                 ", its birth, but species.csv gives it size_at_birth " +
                                 std::to_string(entry.size_at_birth));
    }
  }

  // A species born in this generation arose where species.csv says, and its parent lived where
  // it says, where it says anything: the host with most of their parasites, the lower on a tie.
  // The parent, an earlier species, has its rows before the daughter's. last_row: the species'
  // last row of the generation.
  void check_hosts_at_birth(const AbundanceRow& last_row) const {
    const SpeciesEntry& entry = species_.at(last_row.species);
    if (entry.born != current_.generation) {
      return;
    }
    const auto check = [&](std::int32_t species, std::int32_t given, const char* column) {
      const auto found = main_hosts_.find(species);
      const std::int32_t main_host = found == main_hosts_.end() ? 0 : found->second;
      if (given != 0 && given != main_host) {
        throw MalformedHistory(
            rows_.file_name(), last_row.line,
            "species " + std::to_string(species) + " has most of its parasites on host " +
                std::to_string(main_host) + " at generation " + std::to_string(entry.born) +
                ", but species.csv gives " + "species " + std::to_string(entry.species) + " " +
                column + " " + std::to_string(given));
      }
    };
    check(entry.species, entry.birth_host, "birth_host");
    check(entry.parent, entry.parent_host, "parent_host");
  }

  void check_host_phenotype(const AbundanceRow& row) {
    const auto [seen, added] =
        host_phenotypes_.try_emplace(row.host, HostSeen{row.host_phenotype, rows_.line()});
    if (!added && seen->second.phenotype != row.host_phenotype) {
      rows_.fail("host " + std::to_string(row.host) + " has phenotype " +
                 real_text(row.host_phenotype) + " here but " + real_text(seen->second.phenotype) +
                 " on line " + std::to_string(seen->second.line) +
                 "; a host keeps its phenotype for the whole run");
    }
  }

  struct HostSeen {
    double phenotype;
    std::uint64_t line;
  };

  CsvRowReader& rows_;
  const SpeciesTable& species_;
  const std::vector<AbundanceObserver*>& observers_;
  LivingSpecies living_;
  AbundanceGeneration current_;
  bool started_ = false;
  std::int64_t counted_ = 0;  // the counts of every row so far
  std::unordered_map<std::int32_t, HostSeen> host_phenotypes_;
  std::unordered_map<std::int32_t, std::int32_t> main_hosts_;  // of this generation, by species
};

}  // namespace

void read_abundance(const ByteSource& source, const std::string& file_name,
                    const SpeciesTable& species, const std::vector<AbundanceObserver*>& observers,
                    std::size_t buffer_size) {
  CsvRowReader rows(source, file_name, buffer_size);
  rows.expect_header(report::history_abundance_header);
  AbundanceChecker checker(rows, species, observers);
  while (rows.next_row(8)) {
    checker.take_row();
  }
  checker.finish();
}

}  // namespace parasim::report_tool
