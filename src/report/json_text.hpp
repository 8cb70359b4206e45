#pragma once

#include <string>

#include "model/parameters.hpp"

namespace parasim::report {

// The pieces of JSON the run's own files are made of (the run record, a history's run.json).

// A string with its quotes, escaped.
std::string json_string(const std::string& text);

// A real with enough digits to read back the same double; null for an infinity or NaN, which
// JSON cannot hold.
std::string json_real(double value);

// The ten answers as a JSON object keyed by their names, one per line, each line indented by
// `indent` spaces and the closing brace by indent - 2.
std::string answers_json(const model::Parameters& parameters, int indent);

}  // namespace parasim::report
