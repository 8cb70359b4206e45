// Times one whole run of the model on the ten answers read from standard input and
// a tick count given as the only argument, and prints where the time went: wall
// time, generations, deviates drawn, what the generator alone needs for that many
// deviates (a tight loop of the same generator, measured in the same process), the
// share of the run spent labelling species, and peak memory. Output.dat is written
// to the working directory as in a real run.
//
// Deviates are counted only in a build with PARASIM_COUNT_DEVIATES. The run draws from
// the deviate stream on the path this machine, PARASIM_VECTORS and PARASIM_STREAM give
// (vector_path, stream_fill); the
// generator alone is the generator drawing one deviate after another. With a second
// argument, one line per generation (population at its start, seconds) goes to that
// file, for the curve of cost against population size.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "model/generation_driver.hpp"
#include "model/simulation.hpp"
#include "report/results_file.hpp"
#include "textio/console_reader.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The ten answers, read as the dialogue reads them (without its prompts).
parasim::model::Parameters read_answers() {
  parasim::textio::ConsoleReader reader(std::cin);
  parasim::model::Parameters p;
  for (const parasim::model::ParameterField& field : parasim::model::parameter_fields) {
    if (field.type == parasim::model::AnswerType::integer) {
      p.*field.integer = reader.read_integer().value.value();
    } else {
      p.*field.real = reader.read_real().value.value();
    }
  }
  return p;
}

#ifdef PARASIM_COUNT_DEVIATES
// The generator on its own: as many steps as the run drew, none of the run's work.
double generator_alone_seconds(std::uint64_t deviates) {
  parasim::random::Generator generator({0xF95E7740u, 0x0F941B35u, 0x00F8BD1Fu, 0x2223C08Du});
  const Clock::time_point start = Clock::now();
  std::uint32_t sink = 0;
  for (std::uint64_t i = 0; i < deviates; ++i) {
    sink ^= generator.next_output();
  }
  const double elapsed = seconds_since(start);
  if (sink == 0x12345678u) {
    std::puts("");  // keeps the loop from being optimised away
  }
  return elapsed;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: parasim_whole_run TICKS [GENERATION_LOG] < answers\n");
    return 2;
  }
  std::FILE* generation_log = argc == 3 ? std::fopen(argv[2], "w") : nullptr;
  if (generation_log != nullptr) {
    std::fprintf(generation_log, "generation,population,seconds\n");
  }
  const parasim::model::Parameters parameters = read_answers();
  const auto ticks = static_cast<std::int32_t>(std::strtol(argv[1], nullptr, 10));

  const Clock::time_point start = Clock::now();
  parasim::model::Simulation run(parameters, ticks);
  parasim::report::ResultsFile results;
  parasim::model::GenerationDriver driver(run, &results, {});
  double labelling = 0.0;
  std::size_t largest_population = 0;
  while (!run.finished()) {
    const std::size_t population = run.population().size();
    largest_population = std::max(largest_population, population);
    const Clock::time_point generation_start = Clock::now();
    driver.label();
    labelling += seconds_since(generation_start);
    driver.finish();
    if (generation_log != nullptr) {
      std::fprintf(generation_log, "%d,%zu,%.6f\n", run.generations_run(), population,
                   seconds_since(generation_start));
    }
  }
  if (generation_log != nullptr) {
    std::fclose(generation_log);
  }
  results.close();
  const double wall = seconds_since(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("wall_seconds %.3f\n", wall);
  std::printf("generations %d\n", run.generations_run());
  std::printf("largest_population %zu\n", largest_population);
  std::printf("labelling_seconds %.3f\n", labelling);
  std::printf("labelling_share %.4f\n", labelling / wall);
#ifdef PARASIM_COUNT_DEVIATES
  const std::uint64_t deviates = run.generator().deviates_drawn();
  const double alone = generator_alone_seconds(deviates);
  std::printf("deviates %llu\n", static_cast<unsigned long long>(deviates));
  std::printf("generator_alone_seconds %.3f\n", alone);
  std::printf("run_over_generator %.3f\n", wall / alone);
#else
  std::printf("deviates not counted (configure with -DPARASIM_COUNT_DEVIATES=ON)\n");
#endif
  std::printf("peak_memory_kb %ld\n", usage.ru_maxrss);
  const parasim::random::StreamPath path = run.generator().path();
  std::printf("stream_fill %s\n",
              path.fill == parasim::random::StreamFill::blocks ? "blocks" : "sequential");
  std::printf("vector_path %s\n",
              std::string(parasim::random::vector_path_name(path.vectors)).c_str());
  return 0;
}
