#include "reference/reference_species.hpp"

#include <cstdlib>

#include "reference/reference_text.hpp"

namespace parasim::reference {

namespace {

constexpr std::int32_t kMinSpeciesSize = 11;

// The loci of every parasite through NINT, taken once per call: row i of the result holds
// NINT(population(i, l)) for l = 1 .. genome_size.
Matrix<std::int32_t> rounded_loci(const Matrix<double>& population, std::int32_t population_size,
                                  std::int32_t genome_size) {
  Matrix<std::int32_t> loci(population_size, genome_size);
  for (std::int32_t l = 1; l <= genome_size; ++l) {
    for (std::int32_t i = 1; i <= population_size; ++i) {
      loci(i, l) = nint(population(i, l));
    }
  }
  return loci;
}

// The number of loci at which rows a and b of the rounded loci differ.
RowDistance locus_by_locus(const Matrix<std::int32_t>& loci) {
  return [&loci](std::int32_t a, std::int32_t b) {
    std::int32_t distance = 0;
    for (std::int32_t l = 1; l <= loci.columns(); ++l) {
      distance += std::abs(loci(a, l) - loci(b, l));
    }
    return distance;
  };
}

}  // namespace

std::int32_t max_old_label(const Matrix<double>& population, std::int32_t population_size,
                           std::int32_t record_width) {
  const std::int32_t label_column = record_width - 2;
  std::int32_t largest = nint(population(1, label_column));
  for (std::int32_t i = 2; i <= population_size; ++i) {
    const std::int32_t label = nint(population(i, label_column));
    if (label > largest) {
      largest = label;
    }
  }
  return largest;
}

std::int32_t linkage_threshold(std::int32_t mate_threshold) {
  return nint(static_cast<double>(static_cast<float>(mate_threshold)));
}

std::int32_t sweep_clusters(std::int32_t population_size, const RowDistance& distance,
                            std::int32_t threshold, OneBased<std::int32_t>& cluster_of) {
  for (std::int32_t i = 1; i <= population_size; ++i) {
    cluster_of(i) = 0;
  }
  std::int32_t cluster_count = 0;
  for (;;) {
    std::int32_t seed = 0;
    for (std::int32_t i = 1; i <= population_size; ++i) {
      if (cluster_of(i) == 0) {
        seed = i;
        break;
      }
    }
    if (seed == 0) {
      return cluster_count;
    }
    cluster_count += 1;
    cluster_of(seed) = cluster_count;
    for (std::int32_t j = 1; j <= population_size; ++j) {
      if (cluster_of(j) != cluster_count) {
        continue;
      }
      for (std::int32_t k = 1; k <= population_size; ++k) {
        if (cluster_of(k) == 0 && distance(j, k) <= threshold) {
          cluster_of(k) = cluster_count;
        }
      }
    }
  }
}

std::int32_t cluster_genomes(const Matrix<double>& population, OneBased<std::int32_t>& cluster_of,
                             std::int32_t population_size, std::int32_t record_width,
                             std::int32_t mate_threshold) {
  const Matrix<std::int32_t> loci = rounded_loci(population, population_size, record_width - 3);
  return sweep_clusters(population_size, locus_by_locus(loci), linkage_threshold(mate_threshold),
                        cluster_of);
}

void sortc(Matrix<std::int32_t>& tally_table, std::int32_t cluster_count) {
  for (std::int32_t p = 1; p <= cluster_count - 1; ++p) {
    const std::int32_t a = cluster_count - p + 1;
    const std::int32_t b = a - 1;
    if (tally_table(a, 2) > tally_table(b, 2)) {
      for (std::int32_t column = 1; column <= 2; ++column) {
        const std::int32_t held = tally_table(a, column);
        tally_table(a, column) = tally_table(b, column);
        tally_table(b, column) = held;
      }
    }
  }
}

void carry_labels(Matrix<double>& population, const OneBased<std::int32_t>& cluster_of,
                  std::int32_t cluster_count, std::int32_t population_size,
                  std::int32_t record_width, std::int32_t old_label_limit) {
  const std::int32_t label_column = record_width - 2;
  Matrix<std::int32_t> tally_table(cluster_count, 2);
  std::int32_t last_label = old_label_limit;
  for (std::int32_t s = 1; s <= old_label_limit; ++s) {
    for (std::int32_t r = 1; r <= cluster_count; ++r) {
      tally_table(r, 1) = 0;
      tally_table(r, 2) = 0;
    }
    for (std::int32_t i = 1; i <= population_size; ++i) {
      if (nint(population(i, label_column)) == s) {
        const std::int32_t c = cluster_of(i);
        tally_table(c, 2) += 1;
        tally_table(c, 1) = c;
      }
    }
    sortc(tally_table, cluster_count);
    const std::int32_t top = tally_table(1, 1);
    for (std::int32_t i = 1; i <= population_size; ++i) {
      if (cluster_of(i) == top) {
        population(i, label_column) = s;
      }
    }
    if (cluster_count >= 2) {
      for (std::int32_t r = 2; r <= cluster_count; ++r) {
        if (tally_table(r, 2) >= kMinSpeciesSize) {
          last_label += 1;
          for (std::int32_t i = 1; i <= population_size; ++i) {
            if (cluster_of(i) == tally_table(r, 1)) {
              population(i, label_column) = last_label;
            }
          }
        }
      }
    }
  }
}

void species(Matrix<double>& population, OneBased<std::int32_t>& cluster_of,
             std::int32_t population_size, std::int32_t record_width, std::int32_t mate_threshold) {
  const Matrix<std::int32_t> loci = rounded_loci(population, population_size, record_width - 3);
  species(population, cluster_of, population_size, record_width, mate_threshold,
          locus_by_locus(loci));
}

void species(Matrix<double>& population, OneBased<std::int32_t>& cluster_of,
             std::int32_t population_size, std::int32_t record_width, std::int32_t mate_threshold,
             const RowDistance& distance) {
  const std::int32_t old_label_limit = max_old_label(population, population_size, record_width);
  const std::int32_t cluster_count =
      sweep_clusters(population_size, distance, linkage_threshold(mate_threshold), cluster_of);
  carry_labels(population, cluster_of, cluster_count, population_size, record_width,
               old_label_limit);
}

}  // namespace parasim::reference
