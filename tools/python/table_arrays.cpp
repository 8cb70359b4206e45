#include "table_arrays.hpp"

#include <cstdint>
#include <limits>

namespace py = pybind11;

namespace parasim::python {

namespace {

template <typename T, typename Row, typename Get>
py::array_t<T> column(const std::vector<Row>& rows, Get get) {
  py::array_t<T> values(static_cast<py::ssize_t>(rows.size()));
  T* out = values.mutable_data();
  for (const Row& row : rows) {
    *out++ = static_cast<T>(get(row));
  }
  return values;
}

}  // namespace

py::dict species_arrays(const species::SpeciesHistory& history) {
  const std::vector<species::SpeciesRecord> rows(history.species().begin(),
                                                 history.species().end());
  using R = species::SpeciesRecord;
  py::dict table;
  table["species"] = column<std::int32_t>(rows, [](const R& r) { return r.species; });
  table["label"] = column<std::int32_t>(rows, [](const R& r) { return r.label; });
  table["parent"] = column<std::int32_t>(rows, [](const R& r) { return r.parent; });
  table["born"] = column<std::int32_t>(rows, [](const R& r) { return r.born; });
  table["size_at_birth"] = column<std::int32_t>(rows, [](const R& r) { return r.size_at_birth; });
  table["last_seen"] = column<std::int32_t>(rows, [](const R& r) { return r.last_seen; });
  table["extant"] = column<bool>(rows, [](const R& r) { return r.extant; });
  table["birth_host"] = column<std::int32_t>(rows, [](const R& r) { return r.birth_host; });
  table["parent_host"] = column<std::int32_t>(rows, [](const R& r) { return r.parent_host; });
  table["host_shift"] = column<bool>(rows, [](const R& r) { return r.host_shift(); });
  return table;
}

py::dict abundance_arrays(const std::vector<AbundanceEntry>& rows) {
  using E = AbundanceEntry;
  py::dict table;
  table["generation"] = column<std::int32_t>(rows, [](const E& e) { return e.generation; });
  table["species"] = column<std::int32_t>(rows, [](const E& e) { return e.row.species; });
  table["label"] = column<std::int32_t>(rows, [](const E& e) { return e.row.label; });
  table["host"] = column<std::int32_t>(rows, [](const E& e) { return e.row.host; });
  table["host_phenotype"] = column<double>(rows, [](const E& e) { return e.row.host_phenotype; });
  table["count"] = column<std::int64_t>(rows, [](const E& e) { return e.row.count; });
  table["phenotype_mean"] = column<double>(rows, [](const E& e) { return e.row.phenotype_mean; });
  table["phenotype_sd"] = column<double>(rows, [](const E& e) { return e.row.phenotype_sd; });
  return table;
}

py::dict divergence_arrays(std::int32_t generation,
                           const std::vector<species::DivergenceRow>& rows) {
  using D = species::DivergenceRow;
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  const auto distance = [](const D& d, double value) { return d.pairs > 0 ? value : none; };
  py::dict table;
  table["generation"] = column<std::int32_t>(rows, [&](const D&) { return generation; });
  table["species_a"] = column<std::int32_t>(rows, [](const D& d) { return d.species_a; });
  table["species_b"] = column<std::int32_t>(rows, [](const D& d) { return d.species_b; });
  table["pairs"] = column<std::int64_t>(rows, [](const D& d) { return d.pairs; });
  table["mean_distance"] =
      column<double>(rows, [&](const D& d) { return d.pairs > 0 ? d.mean_distance() : none; });
  table["min_distance"] = column<double>(
      rows, [&](const D& d) { return distance(d, static_cast<double>(d.min_distance)); });
  table["max_distance"] = column<double>(
      rows, [&](const D& d) { return distance(d, static_cast<double>(d.max_distance)); });
  return table;
}

py::dict groups_arrays(std::int32_t generation, const std::vector<species::SpeciesInGroups>& rows,
                       const species::SpeciesHistory& history) {
  using G = species::SpeciesInGroups;
  py::dict table;
  table["generation"] = column<std::int32_t>(rows, [&](const G&) { return generation; });
  table["species"] = column<std::int32_t>(rows, [](const G& g) { return g.species; });
  table["label"] =
      column<std::int32_t>(rows, [&](const G& g) { return history.label_of(g.species); });
  table["parasites"] = column<std::int64_t>(rows, [](const G& g) { return g.parasites; });
  table["groups"] = column<std::int64_t>(rows, [](const G& g) { return g.groups; });
  table["largest_group"] = column<std::int64_t>(rows, [](const G& g) { return g.largest_group; });
  table["shared_groups"] = column<std::int64_t>(rows, [](const G& g) { return g.shared_groups; });
  return table;
}

}  // namespace parasim::python
