// The dialogue, the generation loop and the results file it writes.
#include "reference/reference_model.hpp"

#include <set>

#include "reference/reference_species.hpp"
#include "reference/reference_text.hpp"
#include "report/results_layout.hpp"

namespace parasim::reference {

namespace {

const std::string kRule(45, '-');

// The banner, the ten prompts and the two lines that announce the run.
std::string dialogue() {
  std::string console;
  for (const char* line : {kRule.c_str(), " Welcome! This executable is part of the manuscript:",
                           " Quillmarsh", " by Ashgrove,", "Fenwright", kRule.c_str(),
                           "Please, enter with the following parameters (see table 1 of the "
                           "manuscript)"}) {
    console += text_line(line);
  }
  for (const model::ParameterField& field : model::parameter_fields) {
    console += text_line(std::string(field.prompt));
  }
  return console + text_line("-----------") + text_line("The model is running ...");
}

std::string closing_lines() {
  return text_line(kRule) + text_line("This simulation ran successfully") +
         text_line("See your results at the generated file \"Output.dat\"") + text_line(kRule);
}

std::string header() {
  std::string text;
  for (const std::string_view line : report::header_texts) {
    text += text_line(std::string(line));
  }
  return text;
}

void write_report(const World& world, std::int32_t generation, ReferenceRun& run) {
  const std::int32_t genome_size = world.record_width - 3;
  std::set<std::int32_t> hosts;
  for (std::int32_t i = 1; i <= world.population_size; ++i) {
    const double host_id = world.population(i, genome_size + 3);
    const std::int32_t label = nint(world.population(i, genome_size + 1));
    run.output_dat += report_record(generation, world.population(i, genome_size + 2), host_id,
                                    world.host_table(nint(host_id), 1), label);
    hosts.insert(nint(host_id));
    if (label > run.largest_reported_label) {
      run.largest_reported_label = label;
    }
  }
  if (static_cast<std::int32_t>(hosts.size()) > run.most_reported_hosts) {
    run.most_reported_hosts = static_cast<std::int32_t>(hosts.size());
  }
}

}  // namespace

ReferenceRun run_reference(const model::Parameters& parameters, std::int32_t ticks) {
  ReferenceRun run;
  run.console = dialogue();
  World world = set_up(parameters, ticks);
  run.output_dat = header();

  std::int32_t generation = 1;
  std::int32_t remaining = parameters.generations > 0 ? parameters.generations : 0;
  for (;;) {
    if (remaining == 0) {
      break;
    }
    if (world.population_size == 0) {
      break;
    }
    world.cluster_of.resize(world.population_size);
    species(world.population, world.cluster_of, world.population_size, world.record_width,
            world.mate_threshold);
    if (generation == 1 || generation % world.report_interval == 0) {
      write_report(world, generation, run);
    }
    reproduce(world);
    disperse_and_survive(world);
    regroup(world);
    run.generations_run += 1;
    generation += 1;
    remaining -= 1;
  }
  run.final_population = world.population_size;
  run.console += closing_lines();
  return run;
}

}  // namespace parasim::reference
