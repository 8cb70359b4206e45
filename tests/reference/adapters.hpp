// Between the program's data and the reference's: generator states, bit-packed population rows
// and 1-based matrices of doubles, 0-based cluster and label vectors. Unit tests use these to hold
// a fast routine to the reference routine on the same input.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/host_table.hpp"
#include "model/parameters.hpp"
#include "model/population.hpp"
#include "random/generator.hpp"
#include "reference/one_based.hpp"
#include "reference/reference_model.hpp"
#include "reference/reference_random.hpp"
#include "reference/reference_species.hpp"
#include "species/packed_genomes.hpp"
#include "species/sortc.hpp"

namespace parasim::reference {

Generator reference_generator(const random::Generator::State& state);
random::Generator::State program_state(const Generator& generator);

// Row i + 1 holds row i of the population: loci 1..genome_size as 0.0 or 1.0, then species_id,
// phenotype and host_id.
Matrix<double> population_matrix(const model::Population& population);

// Rows 1..rows of the matrix.
Matrix<double> leading_rows(const Matrix<double>& matrix, int rows);

// A world that holds the program's population and hosts and draws from the given generator
// state; its genome size and host count are those of the population and hosts, its other answers
// those given. Ready for reproduce() or offspring().
World world_holding(const model::Parameters& parameters, std::int32_t mate_threshold,
                    const model::Population& population, const model::HostTable& hosts,
                    const random::Generator::State& state);

// The program's count of differing loci between genomes a - 1 and b - 1, for populations too
// large to count locus by locus in every comparison.
RowDistance packed_distance(const species::PackedGenomes& genomes);

// The clusters of the reference's sweep, 1-based numbers in a 0-based vector.
struct Clusters {
  std::vector<std::int32_t> cluster_of;
  std::int32_t count = 0;
};
Clusters sweep_clusters(const species::PackedGenomes& genomes, std::int32_t threshold);

// The reference's label pass over clusters the caller has found; rewrites species_id.
void carry_labels(std::span<const std::int32_t> cluster_of, std::int32_t cluster_count,
                  std::vector<std::int32_t>& species_id);

// The reference's whole species call; rewrites species_id and returns the clusters.
Clusters species(const species::PackedGenomes& genomes, std::int32_t mate_threshold,
                 std::vector<std::int32_t>& species_id);

// The reference's bubble pass on the tally table held as rows.
void sortc(std::vector<species::TallyRow>& rows);

}  // namespace parasim::reference
