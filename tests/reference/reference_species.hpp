// Species labelling as one plain procedure: the single-sweep threshold clustering of the genomes,
// then the label pass that hands each old label to the cluster holding most of its carriers and
// fresh labels to other clusters with at least 11 of them.
#pragma once

#include <cstdint>
#include <functional>

#include "reference/one_based.hpp"

namespace parasim::reference {

// The largest NINT(species_id) in rows 1..population_size: the first row's, replaced by any
// strictly larger later one.
std::int32_t max_old_label(const Matrix<double>& population, std::int32_t population_size,
                           std::int32_t record_width);

// The genetic distance between rows a and b of the population.
using RowDistance = std::function<std::int32_t(std::int32_t a, std::int32_t b)>;

// mate_threshold through single precision and back with NINT: the clustering's threshold.
std::int32_t linkage_threshold(std::int32_t mate_threshold);

// Clusters rows 1..population_size by linkage at `threshold`, one sweep per cluster: the seed is
// the first row without a cluster, and the sweep j = 1..population_size scans every row j that
// carries the cluster when the sweep reaches it, giving the cluster to every row k without one
// within the threshold of j. Fills cluster_of and returns cluster_count.
std::int32_t sweep_clusters(std::int32_t population_size, const RowDistance& distance,
                            std::int32_t threshold, OneBased<std::int32_t>& cluster_of);

// sweep_clusters with the distance counted locus by locus over the NINT of every locus and the
// threshold linkage_threshold(mate_threshold).
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

// The same call with the genetic distance between rows given: for populations whose genomes are
// too many or too long to count locus by locus, or are held outside the matrix.
void species(Matrix<double>& population, OneBased<std::int32_t>& cluster_of,
             std::int32_t population_size, std::int32_t record_width, std::int32_t mate_threshold,
             const RowDistance& distance);

}  // namespace parasim::reference
