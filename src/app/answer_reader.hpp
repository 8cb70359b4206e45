#pragma once

#include <optional>

#include "model/parameters.hpp"
#include "textio/console_reader.hpp"

namespace parasim::app {

// Reads one answer into its field, as its type is read: the one way an answer is taken, from
// the dialogue's standard input and from a parameters file alike. Returns why the read failed,
// or nothing when the field holds the answer. The stream's own failures (std::ios_base::failure)
// pass through.
std::optional<textio::ReadFailure> read_answer(textio::ConsoleReader& reader,
                                               const model::ParameterField& field,
                                               model::Parameters& parameters);

}  // namespace parasim::app
