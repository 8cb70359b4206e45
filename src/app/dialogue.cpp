#include "app/dialogue.hpp"

#include <cerrno>
#include <ios>
#include <string>

#include "textio/run_failure.hpp"
#include "textio/text_line.hpp"

namespace parasim::app {

namespace {

constexpr const char* rule_line = "---------------------------------------------";

std::string read_statement(int number, const char* prompt) {
  return "cannot read parameter " + std::to_string(number) + " of 10 (\"" + prompt + "\")";
}

// Writes the prompt, then reads its answer with read (one of the reader's two reads).
// Standard input that cannot be read at all (a directory, a descriptor open only for
// writing) is a failed read with the system's text.
template <typename Read>
auto ask(int number, const char* prompt, Read read) {
  textio::write_console_line(prompt);
  try {
    auto result = read();
    if (!result.value) {
      throw textio::RunFailure(read_statement(number, prompt),
                               std::string(textio::read_failure_message(result.failure)),
                               textio::exit_status_input_or_file);
    }
    return *result.value;
  } catch (const std::ios_base::failure&) {
    throw textio::file_failure(read_statement(number, prompt), errno);
  }
}

std::int32_t ask_integer(textio::ConsoleReader& reader, int number, const char* prompt) {
  return ask(number, prompt, [&reader] { return reader.read_integer(); });
}

double ask_real(textio::ConsoleReader& reader, int number, const char* prompt) {
  return ask(number, prompt, [&reader] { return reader.read_real(); });
}

}  // namespace

model::Parameters ask_parameters(textio::ConsoleReader& reader) {
  textio::write_console_line(rule_line);
  textio::write_console_line(" Welcome! This executable is part of the manuscript:");
  textio::write_console_line(" Quillmarsh");
  textio::write_console_line(" by Ashgrove,");
  textio::write_console_line("Fenwright");
  textio::write_console_line(rule_line);
  textio::write_console_line(
      "Please, enter with the following parameters (see table 1 of the manuscript)");

  model::Parameters p;
  p.genome_size = ask_integer(reader, 1, "Genome size");
  p.max_differentiation = ask_real(
      reader, 2, "Maximum genetic differentiation for mate recognition (a number between 0 and 1)");
  p.mutation_rate = ask_real(reader, 3, "Mutation rate");
  p.max_offspring = ask_integer(reader, 4, "Maximum number of offspring per parent");
  p.dispersal_prob = ask_real(reader, 5, "Dispersal probability");
  p.host_count = ask_integer(reader, 6, "Total number of hosts in the resource space");
  p.host_distance = ask_real(reader, 7, "Distance between hosts (in standard deviation units)");
  p.carrying_capacity = ask_integer(reader, 8, " Carrying capacity");
  p.survival_sd = ask_real(reader, 9, " Standard deviation of the survival probability function ");
  p.generations = ask_integer(reader, 10, "Time of this simulation (in generation units):");
  return p;
}

void announce_run() {
  textio::write_console_line("-----------");
  textio::write_console_line("The model is running ...");
}

void say_goodbye() {
  textio::write_console_line(rule_line);
  textio::write_console_line("This simulation ran successfully");
  textio::write_console_line("See your results at the generated file \"Output.dat\"");
  textio::write_console_line(rule_line);
}

}  // namespace parasim::app
