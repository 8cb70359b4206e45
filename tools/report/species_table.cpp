#include "species_table.hpp"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "csv_row_reader.hpp"
#include "report_errors.hpp"
#include "report/history_layout.hpp"

namespace parasim::report_tool {
namespace {

constexpr std::int64_t most_int32 = std::numeric_limits<std::int32_t>::max();

std::size_t index_of(std::int32_t species) {
  return static_cast<std::size_t>(species) - 1;
}

std::string generation_text(std::int32_t generation) {
  return "generation " + std::to_string(generation);
}

// The host columns: each host empty or a host number; the parent's empty for species 1; the
// shift empty when a host is, else whether they differ.
void read_hosts(const CsvRowReader& rows, SpeciesEntry& entry) {
  const auto host = [&](std::size_t i, std::string_view column) {
    return rows.field(i).empty() ? 0
                                 : static_cast<std::int32_t>(rows.whole(i, column, 1, most_int32));
  };
  entry.birth_host = host(7, "birth_host");
  entry.parent_host = host(8, "parent_host");
  if (entry.parent == 0 && entry.parent_host != 0) {
    rows.fail(
        "species 1, the founders' species, has no parent and so no parent_host: leave it "
        "empty");
  }
  const bool known = entry.birth_host != 0 && entry.parent_host != 0;
  if (!known) {
    if (!rows.field(9).empty()) {
      rows.fail("host_shift must be empty where birth_host or parent_host is");
    }
    return;
  }
  if (rows.truth(9, "host_shift") != (entry.birth_host != entry.parent_host)) {
    rows.fail("host_shift " + std::string(rows.field(9)) + " with birth_host " +
              std::to_string(entry.birth_host) + " and parent_host " +
              std::to_string(entry.parent_host));
  }
}

}  // namespace

SpeciesTable::SpeciesTable(std::vector<SpeciesEntry> entries)
    : entries_(std::move(entries)), daughters_(entries_.size()) {
  for (const SpeciesEntry& entry : entries_) {
    last_generation_ = std::max(last_generation_, entry.last_seen);
    if (entry.parent != 0) {
      daughters_[index_of(entry.parent)].push_back(entry.species);
    }
  }
}

const SpeciesEntry& SpeciesTable::at(std::int32_t species) const {
  return entries_[index_of(species)];
}

const std::vector<std::int32_t>& SpeciesTable::daughters(std::int32_t species) const {
  return daughters_[index_of(species)];
}

SpeciesTable read_species_table(const ByteSource& source, const std::string& file_name,
                                std::size_t buffer_size) {
  CsvRowReader rows(source, file_name, buffer_size);
  const bool with_hosts =
      rows.expect_header_among(
          {report::history_species_header, report::history_species_header_without_hosts}) == 0;
  std::vector<SpeciesEntry> entries;
  std::vector<std::uint64_t> lines;
  std::unordered_map<std::int32_t, std::int32_t> latest_of_label;  // label -> species
  while (rows.next_row(with_hosts ? 10 : 7)) {
    SpeciesEntry entry;
    const auto expected = static_cast<std::int64_t>(entries.size()) + 1;
    entry.species = static_cast<std::int32_t>(rows.whole(0, "species", 1, most_int32));
    if (entry.species != expected) {
      rows.fail("species " + std::to_string(entry.species) +
                " out of order: species are numbered 1, 2, 3, ... in order of origin, so this "
                "row must be species " +
                std::to_string(expected));
    }
    entry.label = static_cast<std::int32_t>(rows.whole(1, "label", 1, most_int32));
    entry.born = static_cast<std::int32_t>(rows.whole(3, "born", 1, most_int32));
    entry.size_at_birth = static_cast<std::int32_t>(rows.whole(4, "size_at_birth", 1, most_int32));
    entry.last_seen = static_cast<std::int32_t>(rows.whole(5, "last_seen", 1, most_int32));
    entry.extant = rows.truth(6, "extant");
    if (entry.species == 1) {
      if (!rows.field(2).empty()) {
        rows.fail("species 1, the founders' species, has no parent: leave the parent empty");
      }
    } else {
      if (rows.field(2).empty()) {
        rows.fail("species " + std::to_string(entry.species) +
                  " has no parent; only species 1 "
                  "may have none");
      }
      entry.parent = static_cast<std::int32_t>(rows.whole(2, "parent", 1, most_int32));
      if (entry.parent >= entry.species) {
        rows.fail("parent " + std::to_string(entry.parent) + " is not an earlier species");
      }
      const SpeciesEntry& parent = entries[index_of(entry.parent)];
      if (entry.born < parent.born || entry.born > parent.last_seen) {
        rows.fail("born at " + generation_text(entry.born) + ", when its parent species " +
                  std::to_string(parent.species) + " did not live (" +
                  generation_text(parent.born) + " to " + std::to_string(parent.last_seen) + ")");
      }
      if (entry.born < entries.back().born) {
        rows.fail("born at " + generation_text(entry.born) + ", before species " +
                  std::to_string(entries.back().species) + " (" +
                  generation_text(entries.back().born) +
                  "): species are listed in order of origin");
      }
    }
    if (with_hosts) {
      read_hosts(rows, entry);
    }
    if (entry.last_seen < entry.born) {
      rows.fail("last seen at " + generation_text(entry.last_seen) + ", before it was born (" +
                generation_text(entry.born) + ")");
    }
    const auto earlier = latest_of_label.find(entry.label);
    if (earlier != latest_of_label.end()) {
      const SpeciesEntry& other = entries[index_of(earlier->second)];
      if (other.last_seen >= entry.born) {
        rows.fail("label " + std::to_string(entry.label) + " is given at " +
                  generation_text(entry.born) + " while species " + std::to_string(other.species) +
                  " still carries it (last seen at " + generation_text(other.last_seen) + ")");
      }
    }
    latest_of_label[entry.label] = entry.species;
    entries.push_back(entry);
    lines.push_back(rows.line());
  }
  SpeciesTable table(std::move(entries));
  for (const SpeciesEntry& entry : table.entries()) {
    const bool seen_last = entry.last_seen == table.last_generation();
    if (entry.extant != seen_last) {
      const std::string problem =
          entry.extant ? "is marked extant but was last seen at " +
                             generation_text(entry.last_seen) + ", before the last generation " +
                             std::to_string(table.last_generation()) + " of the run"
                       : "is marked not extant but was seen at the last generation " +
                             std::to_string(table.last_generation()) + " of the run";
      throw MalformedHistory(file_name, lines[index_of(entry.species)],
                             "species " + std::to_string(entry.species) + " " + problem);
    }
  }
  return table;
}

}  // namespace parasim::report_tool
