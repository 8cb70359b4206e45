// Species labelling as one plain procedure: the single-sweep threshold clustering of the genomes,
// then the label pass that hands each old label to the cluster holding most of its carriers and
// fresh labels to other clusters with at least 11 of them.
#pragma once

#include <cstdint>

#include "reference/one_based.hpp"

namespace parasim::reference {

// The largest NINT(species_id) in rows 1..population_size: the first row's, replaced by any
// strictly larger later one.
std::int32_t max_old_label(const Matrix<double>& population, std::int32_t population_size,
                           std::int32_t record_width);

// Clusters rows 1..population_size by linkage at threshold NINT(REAL(mate_threshold)), one sweep
// per cluster; fills cluster_of and returns cluster_count.
std::int32_t cluster_genomes(const Matrix<double>& population, OneBased<std::int32_t>& cluster_of,
                             std::int32_t population_size, std::int32_t record_width,
                             std::int32_t mate_threshold);

// One bubble pass from the last pair of rows up to rows 2 and 1, moving a row up past a strictly
// smaller tally in column 2.
void sortc(Matrix<std::int32_t>& tally_table, std::int32_t cluster_count);

// The turns s = 1..max_old_label over the clusters found; rewrites the species_id column.
void carry_labels(Matrix<double>& population, const OneBased<std::int32_t>& cluster_of,
                  std::int32_t cluster_count, std::int32_t population_size,
                  std::int32_t record_width, std::int32_t old_label_limit);

// The whole call made at the start of every generation.
void species(Matrix<double>& population, OneBased<std::int32_t>& cluster_of,
             std::int32_t population_size, std::int32_t record_width, std::int32_t mate_threshold);

}  // namespace parasim::reference
