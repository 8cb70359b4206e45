#pragma once

#include "model/parameters.hpp"
#include "textio/console_reader.hpp"

namespace parasim::app {

// Reads the answer to question `number` (1 ... 10) into its field of parameters. Throws
// AnswerUnreadable when the read fails.
void read_answer(textio::ConsoleReader& reader, int number, const model::ParameterField& field,
                 model::Parameters& parameters);

// The banner, then the ten prompts, each followed by the read of its answer.
// Throws AnswerUnreadable naming the question when a read fails.
model::Parameters ask_parameters(textio::ConsoleReader& reader);

// The ten answers read as the dialogue reads them, with no banner and no prompt shown
// (--print-parameters). Throws AnswerUnreadable.
model::Parameters read_parameters(textio::ConsoleReader& reader);

// The banner and the ten prompts, shown as the dialogue shows them, for answers read beforehand
// from a parameters file: nothing is read.
void show_dialogue();

// "-----------" and "The model is running ...".
void announce_run();

// The four closing lines of a run that went through.
void say_goodbye();

}  // namespace parasim::app
