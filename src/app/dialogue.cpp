#include "app/dialogue.hpp"

#include <cerrno>
#include <ios>
#include <optional>

#include "app/answer_reader.hpp"
#include "app/failure_report.hpp"
#include "textio/text_line.hpp"

namespace parasim::app {

namespace {

constexpr const char* rule_line = "---------------------------------------------";

// Reads one answer into its field. Standard input that cannot be read at all (a
// directory, a descriptor open only for writing) is a failed read with the system's text.
void read_answer_of(textio::ConsoleReader& reader, int number, const model::ParameterField& field,
                    model::Parameters& parameters) {
  std::optional<textio::ReadFailure> failure;
  try {
    failure = read_answer(reader, field, parameters);
  } catch (const std::ios_base::failure&) {
    throw AnswerUnreadable(number, textio::ReadFailure::end_of_file, errno);
  }
  if (failure)
    throw AnswerUnreadable(number, *failure);
}

void show_banner() {
  textio::write_console_line(rule_line);
  textio::write_console_line(" Welcome! This executable is part of the manuscript:");
  textio::write_console_line(" Quillmarsh");
  textio::write_console_line(" by Ashgrove,");
  textio::write_console_line("Fenwright");
  textio::write_console_line(rule_line);
  textio::write_console_line(
      "Please, enter with the following parameters (see table 1 of the manuscript)");
}

// The ten answers in their order; with a reader each is read after its prompt (when shown),
// without one only the prompts are shown.
model::Parameters run_dialogue(textio::ConsoleReader* reader, bool shown) {
  if (shown)
    show_banner();
  model::Parameters parameters;
  int number = 0;
  for (const model::ParameterField& field : model::parameter_fields) {
    ++number;
    if (shown)
      textio::write_console_line(field.prompt);
    if (reader != nullptr)
      read_answer_of(*reader, number, field, parameters);
  }
  return parameters;
}

}  // namespace

model::Parameters ask_parameters(textio::ConsoleReader& reader) {
  return run_dialogue(&reader, true);
}

model::Parameters read_parameters(textio::ConsoleReader& reader) {
  return run_dialogue(&reader, false);
}

void show_dialogue() {
  run_dialogue(nullptr, true);
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
