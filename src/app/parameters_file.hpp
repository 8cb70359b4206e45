#pragma once

#include <string>
#include <string_view>

#include "model/parameters.hpp"

namespace parasim::app {

// A run's ten answers by name (--parameters FILE): one `name = value` line for each name of
// --list-parameters, in any order, each exactly once; blanks and tabs around the name and the
// value; `#` starts a comment, to the end of its line; blank lines are skipped; lines end with LF
// or CR LF. A value is one item that the dialogue's reader reads whole as the answer's type
// ("100", "0.1", "5e-3", "1d-3", "-0.25"), so a file gives exactly the answers the dialogue
// would take from the same texts. The files parameters_file_text prints are also TOML, the
// syntax of sweep files.

// The answers the text gives. path names the file in the refusal. Throws ParametersFileRefused
// at the first line at fault, or at the last line for names never given.
model::Parameters parameters_from_text(std::string_view text, const std::string& path);

// The answers of the file at path: a regular file (or a link to one) of at most 1 MiB. Throws
// FileFailure or ParametersFileRefused.
model::Parameters read_parameters_file(const std::string& path);

// The answers as a parameters file: ten `name = value` lines in the order they are asked, each
// value the shortest text that reads back to the same answer (an integer in decimal; a real in
// the fewest significant digits that give its double again, "0.1", "1e-20", "-0").
std::string parameters_file_text(const model::Parameters& parameters);

}  // namespace parasim::app
