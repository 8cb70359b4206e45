// Derived values and the initial world: three identical founders on host 1 and the host line
// laid out alternately above and below it.
#include "reference/reference_model.hpp"
#include "reference/reference_text.hpp"

namespace parasim::reference {

std::int32_t derive_mate_threshold(std::int32_t genome_size, double max_differentiation) {
  const long double product =
      static_cast<long double>(genome_size) * static_cast<long double>(max_differentiation);
  return int_of(product) + 1;
}

World set_up(const model::Parameters& parameters, std::int32_t ticks) {
  World world;
  world.parameters = parameters;
  world.mutation_rate = parameters.mutation_rate;
  const std::int32_t genome_size = parameters.genome_size;

  // Derived values.
  world.mate_threshold = derive_mate_threshold(genome_size, parameters.max_differentiation);
  world.report_interval = 10;
  world.record_width = genome_size + 3;
  world.population_size = 3;

  // The arrays, every element zero.
  world.host_table.create(parameters.host_count, 2);
  world.population.create(world.population_size, world.record_width);
  world.offspring_pool.create(world.population_size, world.record_width);
  world.survivors.create(world.population_size, world.record_width);
  world.mate_order.resize(world.population_size);
  world.parent_queue.resize(world.population_size);
  world.cluster_of.resize(world.population_size);
  world.child.resize(world.record_width);

  // The one seeding of the run.
  init_random_seed(world.generator, ticks);

  // Host spacing in extended precision, stored as a double; the largest population.
  world.host_spacing = static_cast<double>(static_cast<long double>(parameters.host_distance) *
                                           static_cast<long double>(parameters.survival_sd));
  world.max_population = static_cast<std::int32_t>(
      static_cast<std::int64_t>(parameters.host_count) * parameters.carrying_capacity);

  // Founder genome in row 1; a draw that hits a set locus is discarded.
  const std::int32_t target = nint(static_cast<double>(genome_size) / 2.0);
  std::int32_t ones = 0;
  while (ones < target) {
    const double u = uniform_deviate(world.generator);
    const std::int32_t locus = int_of(static_cast<long double>(genome_size) * u) + 1;
    if (world.population(1, locus) == 0.0) {
      world.population(1, locus) = 1.0;
      ones += 1;
    }
  }

  // Every founder row gets row 1 whole.
  for (std::int32_t row = 1; row <= world.population_size; ++row) {
    for (std::int32_t column = 1; column <= world.record_width; ++column) {
      world.population(row, column) = world.population(1, column);
    }
  }

  // Host 1 sits at the founders' phenotype.
  world.host_table(1, 1) = static_cast<double>(ones) / 10.0;

  // Host line: n = 2, 4, ... above host 1, n + 1 below it, k spacings away.
  const long double p1 = world.host_table(1, 1);
  std::int32_t k = 1;
  std::int32_t n = 2;
  while (n <= parameters.host_count) {
    world.host_table(n, 1) =
        static_cast<double>(p1 + k * static_cast<long double>(world.host_spacing));
    if (n + 1 <= parameters.host_count) {
      world.host_table(n + 1, 1) =
          static_cast<double>(p1 - k * static_cast<long double>(world.host_spacing));
    }
    n += 2;
    k += 1;
  }

  // Host 1 carries the founders.
  world.host_table(1, 2) = world.population_size;

  // The founders: species 1, the phenotype of host 1, on host 1.
  for (std::int32_t row = 1; row <= world.population_size; ++row) {
    world.population(row, genome_size + 1) = 1.0;
    world.population(row, genome_size + 2) = world.host_table(1, 1);
    world.population(row, genome_size + 3) = 1.0;
  }
  return world;
}

}  // namespace parasim::reference
