#include "app/dialogue.hpp"

#include <cerrno>
#include <ios>

#include "app/failure_report.hpp"
#include "textio/text_line.hpp"

namespace parasim::app {

namespace {

constexpr const char* rule_line = "---------------------------------------------";

}  // namespace

// Standard input that cannot be read at all (a directory, a descriptor open only for
// writing) is a failed read with the system's text.
void read_answer(textio::ConsoleReader& reader, int number, const model::ParameterField& field,
                 model::Parameters& parameters) {
  try {
    if (field.type == model::AnswerType::integer) {
      const auto result = reader.read_integer();
      if (!result.value)
        throw AnswerUnreadable(number, result.failure);
      parameters.*field.integer = *result.value;
    } else {
      const auto result = reader.read_real();
      if (!result.value)
        throw AnswerUnreadable(number, result.failure);
      parameters.*field.real = *result.value;
    }
  } catch (const std::ios_base::failure&) {
    throw AnswerUnreadable(number, textio::ReadFailure::end_of_file, errno);
  }
}

model::Parameters ask_parameters(textio::ConsoleReader& reader) {
  textio::write_console_line(rule_line);
  textio::write_console_line(" Welcome! This executable is part of the manuscript:");
  textio::write_console_line(" Quillmarsh");
  textio::write_console_line(" by Ashgrove,");
  textio::write_console_line("Fenwright");
  textio::write_console_line(rule_line);
  textio::write_console_line(
      "Please, enter with the following parameters (see table 1 of the manuscript)");

  model::Parameters parameters;
  int number = 0;
  for (const model::ParameterField& field : model::parameter_fields) {
    ++number;
    textio::write_console_line(field.prompt);
    read_answer(reader, number, field, parameters);
  }
  return parameters;
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
