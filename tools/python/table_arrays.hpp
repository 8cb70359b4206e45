#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <vector>

#include "abundance_table.hpp"
#include "species/mating_groups.hpp"
#include "species/species_divergence.hpp"
#include "species/species_history.hpp"

namespace parasim::python {

// The tables of a run as Python gets them: a dict of numpy arrays by column, with the columns of
// the history's files of the same name (report/history_layout.hpp).

// species.csv. A parent, a host at birth or a parent's host of 0 is none (or not known);
// host_shift is true only where both hosts are known and differ.
pybind11::dict species_arrays(const species::SpeciesHistory& history);

// abundance.csv.
pybind11::dict abundance_arrays(const std::vector<AbundanceEntry>& rows);

// divergence.csv for one generation; the three distances are NaN where there is no pair.
pybind11::dict divergence_arrays(std::int32_t generation,
                                 const std::vector<species::DivergenceRow>& rows);

// groups.csv for one generation; the labels are those of the species in the history.
pybind11::dict groups_arrays(std::int32_t generation,
                             const std::vector<species::SpeciesInGroups>& rows,
                             const species::SpeciesHistory& history);

}  // namespace parasim::python
