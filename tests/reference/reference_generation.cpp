// The phases of one generation after species labelling: reproduction host by host with a full
// candidate shuffle before every attempt, child construction, dispersal, survival and regrouping.
#include <cmath>

#include "reference/reference_model.hpp"
#include "reference/reference_text.hpp"

namespace parasim::reference {

void offspring(World& world, std::int32_t parent_row, std::int32_t candidate_count,
               std::int32_t& found_mate) {
  const Matrix<double>& population = world.population;
  const std::int32_t genome_size = world.record_width - 3;
  found_mate = 0;
  for (std::int32_t i = 1; i <= candidate_count; ++i) {
    const std::int32_t candidate = world.mate_order(i);
    double sum = 0.0;
    for (std::int32_t j = 1; j <= genome_size; ++j) {
      sum += std::fabs(population(parent_row, j) - population(candidate, j));
    }
    const auto distance = static_cast<std::int32_t>(sum);
    if (distance > world.mate_threshold) {
      continue;
    }
    const std::int32_t mate = candidate;
    const double u = uniform_deviate(world.generator);
    const std::int32_t crossover_point =
        int_of(static_cast<long double>(genome_size) * static_cast<long double>(u) + 1.0L);
    for (std::int32_t j = 1; j <= genome_size; ++j) {
      const double u_j = uniform_deviate(world.generator);
      const std::int32_t source = j <= crossover_point ? mate : parent_row;
      world.child(j) = population(source, j);
      if (u_j <= world.mutation_rate) {
        world.child(j) = std::fabs(population(source, j) - 1.0);
      }
    }
    world.child(genome_size + 1) = population(mate, genome_size + 1);
    double c = 0.0;
    for (std::int32_t j = 1; j <= genome_size; ++j) {
      c += world.child(j);
    }
    world.child(genome_size + 2) = c / 10.0;
    world.child(genome_size + 3) = population(parent_row, genome_size + 3);
    found_mate = 1;
    return;
  }
}

void reproduce(World& world) {
  const model::Parameters& p = world.parameters;
  const auto wanted = static_cast<std::int32_t>(static_cast<std::int64_t>(p.max_offspring + 1) *
                                                world.population_size);
  world.pool_capacity = wanted > world.max_population ? world.max_population : wanted;
  world.offspring_pool.create(world.pool_capacity, world.record_width);

  std::int32_t next_row = 1;
  std::int32_t host_offset = 0;
  std::int32_t previous_resident_count = 0;
  for (std::int32_t h = 1; h <= p.host_count; ++h) {
    std::int32_t host_children = 0;
    host_offset += previous_resident_count;
    const std::int32_t resident_count = nint(world.host_table(h, 2));
    previous_resident_count = resident_count;
    if (resident_count < 1) {
      continue;
    }
    world.parent_queue.resize(resident_count);
    shuffle(world.generator, world.parent_queue, resident_count, host_offset);
    std::int32_t queue_cursor = 1;
    const std::int32_t attempt_limit = resident_count * p.max_offspring;
    for (std::int32_t attempt = 1; attempt <= attempt_limit; ++attempt) {
      const std::int32_t parent_row = world.parent_queue(queue_cursor);
      world.mate_order.resize(world.population_size);
      shuffle(world.generator, world.mate_order, world.population_size, 0);
      std::int32_t found_mate = 0;
      offspring(world, parent_row, resident_count, found_mate);
      if (found_mate == 1) {
        for (std::int32_t column = 1; column <= world.record_width; ++column) {
          world.offspring_pool(next_row, column) = world.child(column);
        }
        next_row += 1;
        queue_cursor += 1;
        if (queue_cursor > resident_count) {
          queue_cursor = 1;
        }
        host_children += 1;
        if (host_children >= p.carrying_capacity) {
          break;
        }
      }
    }
  }
  world.children_count = next_row - 1;
}

namespace {

// exp of (d * d) / (sd * sd * (-2)), the quotient formed with a 64-bit significand and handed
// to the exponential as a double.
double survival_probability(double phenotype, double host_phenotype, double survival_sd) {
  const long double d = static_cast<long double>(phenotype) - host_phenotype;
  const long double sd = survival_sd;
  const long double quotient = (d * d) / (sd * sd * -2.0L);
  return std::exp(static_cast<double>(quotient));
}

}  // namespace

void disperse_and_survive(World& world) {
  const model::Parameters& p = world.parameters;
  const std::int32_t genome_size = world.record_width - 3;
  world.survivors.create(world.children_count, world.record_width);
  std::int32_t survivor_count = 0;
  for (std::int32_t i = 1; i <= world.children_count; ++i) {
    const double phenotype = world.offspring_pool(i, genome_size + 2);
    const double u1 = uniform_deviate(world.generator);
    if (u1 <= p.dispersal_prob) {
      const double u2 = uniform_deviate(world.generator);
      const std::int32_t new_host = int_of(static_cast<long double>(p.host_count) * u2) + 1;
      const double survival_prob =
          survival_probability(phenotype, world.host_table(new_host, 1), p.survival_sd);
      const double u3 = uniform_deviate(world.generator);
      if (u3 <= survival_prob) {
        survivor_count += 1;
        for (std::int32_t column = 1; column <= world.record_width; ++column) {
          world.survivors(survivor_count, column) = world.offspring_pool(i, column);
        }
        world.survivors(survivor_count, genome_size + 3) = new_host;
      }
    } else {
      const std::int32_t home_host = nint(world.offspring_pool(i, genome_size + 3));
      const double survival_prob =
          survival_probability(phenotype, world.host_table(home_host, 1), p.survival_sd);
      const double u3 = uniform_deviate(world.generator);
      if (u3 <= survival_prob) {
        survivor_count += 1;
        for (std::int32_t column = 1; column <= world.record_width; ++column) {
          world.survivors(survivor_count, column) = world.offspring_pool(i, column);
        }
      }
    }
  }
  world.population_size = survivor_count;
}

void regroup(World& world) {
  const std::int32_t genome_size = world.record_width - 3;
  world.population.create(world.population_size, world.record_width);
  std::int32_t r = 0;
  for (std::int32_t h = 1; h <= world.parameters.host_count; ++h) {
    std::int32_t count = 0;
    for (std::int32_t i = 1; i <= world.population_size; ++i) {
      if (nint(world.survivors(i, genome_size + 3)) == h) {
        r += 1;
        count += 1;
        for (std::int32_t column = 1; column <= world.record_width; ++column) {
          world.population(r, column) = world.survivors(i, column);
        }
      }
    }
    world.host_table(h, 2) = count;
  }
}

}  // namespace parasim::reference
