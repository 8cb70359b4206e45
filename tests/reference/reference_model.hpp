// The whole model written plainly, step by step over 1-based arrays of doubles: set-up, the
// generation loop with its phases, the console and the bytes of the results file. It is slow on
// purpose (quadratic wherever the model's own description is) and exists only so that the fast
// program can be held to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/parameters.hpp"
#include "reference/one_based.hpp"
#include "reference/reference_random.hpp"

namespace parasim::reference {

// The whole state of a run.
struct World {
  model::Parameters parameters;
  // Read by the species routine and by child construction besides their arguments.
  std::int32_t population_size = 0;
  std::int32_t record_width = 0;
  double mutation_rate = 0.0;
  std::int32_t mate_threshold = 0;

  std::int32_t report_interval = 10;
  double host_spacing = 0.0;
  std::int32_t max_population = 0;
  std::int32_t pool_capacity = 0;
  std::int32_t children_count = 0;

  Matrix<double> host_table;  // column 1 host_phenotype, column 2 host_load
  Matrix<double> population;
  Matrix<double> offspring_pool;
  Matrix<double> survivors;
  OneBased<std::int32_t> parent_queue;
  OneBased<std::int32_t> mate_order;
  OneBased<std::int32_t> cluster_of;
  OneBased<double> child;
  Generator generator;
};

// INT(genome_size * max_differentiation) + 1 with the product formed in long double.
std::int32_t derive_mate_threshold(std::int32_t genome_size, double max_differentiation);

// Derived values, arrays, seeding, founders and host line.
World set_up(const model::Parameters& parameters, std::int32_t ticks);

// One reproduction attempt of population row parent_row with the first candidate_count entries
// of mate_order; builds world.child when a mate is found.
void offspring(World& world, std::int32_t parent_row, std::int32_t candidate_count,
               std::int32_t& found_mate);

// Children of every host into offspring_pool; sets children_count.
void reproduce(World& world);

// Dispersal and survival of every child into survivors; population_size becomes their number.
void disperse_and_survive(World& world);

// The survivors grouped by host into a new population; host_load recounted.
void regroup(World& world);

struct ReferenceRun {
  std::string console;               // every byte of standard output
  std::string output_dat;            // every byte of Output.dat
  std::int32_t generations_run = 0;  // generations whose phases ran
  std::int32_t final_population = 0;
  std::int32_t largest_reported_label = 0;  // largest species in any record written
  std::int32_t most_reported_hosts = 0;     // most distinct hosts within one reported generation
};

ReferenceRun run_reference(const model::Parameters& parameters, std::int32_t ticks);

}  // namespace parasim::reference
