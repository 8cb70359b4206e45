// libFuzzer target: parasim-report's reading of a species history, on arbitrary bytes.
//
// Input: species.csv, a NUL byte, abundance.csv, a NUL byte, then run.json (a missing part is
// empty). Byte 0 of each table, when the table is not empty, also sets the size of the pieces
// the reader gets its bytes in (1 ... 64), so that line ends meet refills everywhere; it is
// still part of the text.
//
// Checked, besides "no crash": a history is either refused with MalformedHistory, or read
// whole, and then
// - the full tree has a tip per species and 2 n - 1 nodes, every branch at least 0 long and
//   each tip as far from the founding as the species' last generation;
// - the extant tree's tips are the extant species;
// - the Newick text of each tree has balanced parentheses and ends with ";";
// - the lineage counts run from the founding to the last generation and end with the extant
//   species, and the summary's counts add up;
// - run.json is refused with MalformedHistory at a line, or gives a seed of 32 bits and answers
//   that are finite numbers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "abundance_reader.hpp"
#include "history_statistics.hpp"
#include "lineages.hpp"
#include "report_errors.hpp"
#include "run_mark.hpp"
#include "species_table.hpp"
#include "species_tree.hpp"

namespace {

using namespace parasim::report_tool;

constexpr std::size_t buffer_size = 256;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

void check(bool holds, const char* what) {
  if (!holds) {
    fail(what);
  }
}

ByteSource pieces_of(std::string_view text) {
  const std::size_t piece = text.empty() ? 64 : 1 + static_cast<unsigned char>(text[0]) % 64;
  auto position = std::make_shared<std::size_t>(0);
  return [text, piece, position](char* dest, std::size_t size) {
    const std::size_t count = std::min({size, piece, text.size() - *position});
    if (count > 0) {
      std::memcpy(dest, text.data() + *position, count);
    }
    *position += count;
    return count;
  };
}

void check_newick(const std::string& text) {
  long depth = 0;
  for (const char c : text) {
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    check(depth >= 0, "a Newick text closes a bracket it did not open");
  }
  check(depth == 0 && !text.empty() && text.back() == ';', "a Newick text is not whole");
}

void check_history(const SpeciesTable& species, const AbundanceTally& tally) {
  const SpeciesTree full = full_species_tree(species);
  const SpeciesTree extant = extant_species_tree(species);
  check(full.tip_count() == species.size(), "the full tree has a tip per species");
  if (!species.empty()) {
    check(full.nodes().size() == 2 * species.size() - 1, "the full tree is binary");
  }
  for (std::size_t i = 0; i < full.nodes().size(); ++i) {
    check(full.branch_length(i) >= 0, "a branch is shorter than 0");
    const TreeNode& node = full.nodes()[i];
    if (node.is_tip()) {
      std::int64_t depth = 0;
      for (std::int32_t up = static_cast<std::int32_t>(i); up >= 0;
           up = full.nodes()[static_cast<std::size_t>(up)].parent) {
        depth += full.branch_length(static_cast<std::size_t>(up));
      }
      check(depth == std::int64_t{species.at(node.species).last_seen} - full.origin(),
            "a tip is not at its species' last generation");
    }
  }
  std::size_t extant_species = 0;
  for (const SpeciesEntry& entry : species.entries()) {
    extant_species += entry.extant;
  }
  check(extant.tip_count() == extant_species, "the extant tree's tips are the extant species");
  for (const std::int32_t tip : extant.tip_species()) {
    check(species.at(tip).extant, "an extinct species is a tip of the extant tree");
  }
  check_newick(newick_text(full, species));
  check_newick(newick_text(extant, species));

  const std::vector<LineageCount> counts = lineages_through_time(species, extant);
  if (!species.empty()) {
    check(counts.size() ==
              static_cast<std::size_t>(species.last_generation() - species.at(1).born) + 1,
          "a generation lacks its lineage count");
    check(counts.back().species_alive == static_cast<std::int64_t>(extant_species) &&
              counts.back().extant_lineages == static_cast<std::int64_t>(extant_species),
          "the lineage counts do not end with the extant species");
  }
  const HistoryStatistics statistics = history_statistics(species, tally, extant, 10);
  check(statistics.species_at_end + statistics.extinctions == statistics.species_total,
        "species at the end and extinctions do not add up to all species");
  check(statistics.species_at_end_min_size <= statistics.species_at_end,
        "more established species than species");
}

void check_mark(std::string_view text) {
  try {
    const RunMark mark = run_mark_from_text(text, "run.json");
    check(mark.seed >= INT32_MIN && mark.seed <= INT32_MAX, "a seed beyond 32 bits");
    for (const RunAnswer& answer : mark.answers) {
      check(std::isfinite(answer.value), "an answer that is not a finite number");
    }
  } catch (const MalformedHistory& error) {
    check(error.line() >= 1 && error.file() == "run.json", "a fault of run.json without a line");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view species_text = input.substr(0, split);
  const std::string_view rest =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  const std::size_t second_split = rest.find('\0');
  const std::string_view abundance_text = rest.substr(0, second_split);
  check_mark(second_split == std::string_view::npos ? std::string_view()
                                                    : rest.substr(second_split + 1));
  try {
    // The smallest buffer, which also makes rows meet refills.
    const SpeciesTable species =
        read_species_table(pieces_of(species_text), "species.csv", buffer_size);
    AbundanceTally tally(species.size());
    read_abundance(pieces_of(abundance_text), "abundance.csv", species, {&tally}, buffer_size);
    check_history(species, tally);
  } catch (const MalformedHistory& error) {
    check(error.line() >= 1, "a fault without a line");
  }
  return 0;
}
