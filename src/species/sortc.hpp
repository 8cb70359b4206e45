#pragma once

#include <cstdint>
#include <span>

namespace parasim::species {

// One row of the tally table of a label's turn: a cluster and how many of its
// members carry the label.
struct TallyRow {
  std::int32_t cluster = 0;
  std::int32_t tally = 0;
};

// One bubble pass from the last pair of rows up to the first: a row moves up past a
// strictly smaller tally only. Afterwards the first row holds the largest tally and,
// among equal largest tallies, the row that stood highest before; the other rows are
// not sorted. Rows with a tally of 0 never move up, so dropping them beforehand leaves
// the order of the others unchanged.
void sortc(std::span<TallyRow> rows);

}  // namespace parasim::species
