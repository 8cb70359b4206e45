#include "report/genetics_files.hpp"

#include <string_view>

#include "report/csv_row.hpp"
#include "report/history_layout.hpp"

namespace parasim::report {

GeneticsFiles::GeneticsFiles(const std::string& folder, std::int32_t every)
    : every_(every),
      divergence_(history_file_path(folder, history_divergence_file)),
      groups_(history_file_path(folder, history_groups_file)) {
  divergence_.append(header_line(history_divergence_header));
  groups_.append(header_line(history_groups_header));
}

GeneticsFiles::GeneticsFiles(const std::string& folder, std::int32_t every,
                             const GeneticsMarks& marks)
    : every_(every),
      divergence_(history_file_path(folder, history_divergence_file), marks.divergence),
      groups_(history_file_path(folder, history_groups_file), marks.groups) {}

void GeneticsFiles::check_genetics_marks(const std::string& folder, const GeneticsMarks& marks) {
  check_mark(history_file_path(folder, history_divergence_file), marks.divergence);
  check_mark(history_file_path(folder, history_groups_file), marks.groups);
}

void GeneticsFiles::after_labelling(const model::Simulation& simulation) {
  const std::int64_t generation = simulation.generation();
  if (generation != 1 && generation % every_ != 0) {
    return;
  }
  buffer_.clear();
  for (const species::DivergenceRow& row : genetics_.divergence(simulation)) {
    const std::int64_t a = row.species_a;
    const std::int64_t b = row.species_b;
    if (row.pairs == 0) {
      // A species of one parasite: no pair, so no distance.
      const std::string_view none;
      append_row(buffer_, generation, a, b, row.pairs, none, none, none);
    } else {
      append_row(buffer_, generation, a, b, row.pairs, row.mean_distance(), row.min_distance,
                 row.max_distance);
    }
  }
  divergence_.append(buffer_);

  buffer_.clear();
  for (const species::SpeciesInGroups& row : genetics_.groups(simulation)) {
    append_row(buffer_, generation, std::int64_t{row.species},
               std::int64_t{simulation.history().label_of(row.species)}, row.parasites, row.groups,
               row.largest_group, row.shared_groups);
  }
  groups_.append(buffer_);
}

void GeneticsFiles::close() {
  divergence_.close();
  groups_.close();
}

}  // namespace parasim::report
