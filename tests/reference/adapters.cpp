#include "reference/adapters.hpp"

#include <algorithm>
#include <cstddef>

#include "reference/reference_text.hpp"

namespace parasim::reference {

namespace {

// Labels as a population without loci: record width 3, species_id in column 1.
Matrix<double> label_matrix(std::span<const std::int32_t> species_id) {
  Matrix<double> population(static_cast<int>(species_id.size()), 3);
  for (int i = 1; i <= population.rows(); ++i) {
    population(i, 1) = species_id[static_cast<std::size_t>(i - 1)];
  }
  return population;
}

void read_labels(const Matrix<double>& population, std::vector<std::int32_t>& species_id) {
  for (int i = 1; i <= population.rows(); ++i) {
    species_id[static_cast<std::size_t>(i - 1)] = nint(population(i, 1));
  }
}

OneBased<std::int32_t> one_based(std::span<const std::int32_t> values) {
  OneBased<std::int32_t> vector(static_cast<int>(values.size()));
  for (int i = 1; i <= vector.size(); ++i) {
    vector(i) = values[static_cast<std::size_t>(i - 1)];
  }
  return vector;
}

}  // namespace

Generator reference_generator(const random::Generator::State& state) {
  return {state.x, state.y, state.z, state.w};
}

random::Generator::State program_state(const Generator& generator) {
  return {generator.x, generator.y, generator.z, generator.w};
}

Matrix<double> population_matrix(const model::Population& population) {
  const std::int32_t genome_size = population.genome_size();
  Matrix<double> matrix(static_cast<int>(population.size()), genome_size + 3);
  for (int i = 1; i <= matrix.rows(); ++i) {
    const auto row = static_cast<std::size_t>(i - 1);
    for (std::int32_t l = 1; l <= genome_size; ++l) {
      matrix(i, l) = population.locus(row, l - 1) ? 1.0 : 0.0;
    }
    matrix(i, genome_size + 1) = population.species_id(row);
    matrix(i, genome_size + 2) = population.phenotype(row);
    matrix(i, genome_size + 3) = population.host_id(row);
  }
  return matrix;
}

Matrix<double> leading_rows(const Matrix<double>& matrix, int rows) {
  Matrix<double> leading(rows, matrix.columns());
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= matrix.columns(); ++j) {
      leading(i, j) = matrix(i, j);
    }
  }
  return leading;
}

World world_holding(const model::Parameters& parameters, std::int32_t mate_threshold,
                    const model::Population& population, const model::HostTable& hosts,
                    const random::Generator::State& state) {
  World world;
  world.parameters = parameters;
  world.parameters.genome_size = population.genome_size();
  world.parameters.host_count = hosts.host_count();
  world.population = population_matrix(population);
  world.population_size = world.population.rows();
  world.record_width = world.population.columns();
  world.mutation_rate = parameters.mutation_rate;
  world.mate_threshold = mate_threshold;
  world.max_population = static_cast<std::int32_t>(static_cast<std::int64_t>(hosts.host_count()) *
                                                   parameters.carrying_capacity);
  world.host_table.create(hosts.host_count(), 2);
  for (int h = 1; h <= hosts.host_count(); ++h) {
    world.host_table(h, 1) = hosts.host_phenotype[static_cast<std::size_t>(h - 1)];
    world.host_table(h, 2) = hosts.host_load[static_cast<std::size_t>(h - 1)];
  }
  world.mate_order.resize(world.population_size);
  world.parent_queue.resize(world.population_size);
  world.child.resize(world.record_width);
  world.generator = reference_generator(state);
  return world;
}

RowDistance packed_distance(const species::PackedGenomes& genomes) {
  return [genomes](std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(species::genetic_distance(
        genomes.genome(static_cast<std::size_t>(a - 1)),
        genomes.genome(static_cast<std::size_t>(b - 1)), genomes.words_per_genome));
  };
}

Clusters sweep_clusters(const species::PackedGenomes& genomes, std::int32_t threshold) {
  const auto count = static_cast<std::int32_t>(genomes.count);
  OneBased<std::int32_t> cluster_of(count);
  Clusters clusters;
  clusters.count = sweep_clusters(count, packed_distance(genomes), threshold, cluster_of);
  clusters.cluster_of = cluster_of.values();
  return clusters;
}

void carry_labels(std::span<const std::int32_t> cluster_of, std::int32_t cluster_count,
                  std::vector<std::int32_t>& species_id) {
  Matrix<double> population = label_matrix(species_id);
  const auto count = static_cast<std::int32_t>(species_id.size());
  carry_labels(population, one_based(cluster_of), cluster_count, count, 3,
               max_old_label(population, count, 3));
  read_labels(population, species_id);
}

Clusters species(const species::PackedGenomes& genomes, std::int32_t mate_threshold,
                 std::vector<std::int32_t>& species_id) {
  Matrix<double> population = label_matrix(species_id);
  const auto count = static_cast<std::int32_t>(species_id.size());
  OneBased<std::int32_t> cluster_of(count);
  species(population, cluster_of, count, 3, mate_threshold, packed_distance(genomes));
  read_labels(population, species_id);
  const std::vector<std::int32_t>& clusters = cluster_of.values();
  return {clusters, *std::max_element(clusters.begin(), clusters.end())};
}

void sortc(std::vector<species::TallyRow>& rows) {
  const auto count = static_cast<std::int32_t>(rows.size());
  Matrix<std::int32_t> tally_table(count, 2);
  for (int r = 1; r <= count; ++r) {
    tally_table(r, 1) = rows[static_cast<std::size_t>(r - 1)].cluster;
    tally_table(r, 2) = rows[static_cast<std::size_t>(r - 1)].tally;
  }
  sortc(tally_table, count);
  for (int r = 1; r <= count; ++r) {
    rows[static_cast<std::size_t>(r - 1)] = {tally_table(r, 1), tally_table(r, 2)};
  }
}

}  // namespace parasim::reference
