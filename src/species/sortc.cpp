#include "species/sortc.hpp"

#include <utility>

namespace parasim::species {

void sortc(std::span<TallyRow> rows) {
  for (std::size_t lower = rows.size(); lower >= 2; --lower) {
    TallyRow& below = rows[lower - 1];
    TallyRow& above = rows[lower - 2];
    if (below.tally > above.tally) {
      std::swap(below, above);
    }
  }
}

}  // namespace parasim::species
