// Runs one case through the program and through the reference and describes every way in which
// the program's run differs: exit status, console transcript, error output, results file bytes.
#pragma once

#include <string>
#include <vector>

#include "reference/parameter_sets.hpp"

namespace parasim::reference {

// The first differing line of two texts split at LF, with both versions, or "" when equal.
std::string first_difference(const std::string& expected, const std::string& actual);

struct Comparison {
  ReferenceRun expected;              // the reference's run of the case
  std::vector<std::string> problems;  // one message per disagreement; empty when all match
};

Comparison compare_with_program(const std::string& program, const ComparisonCase& test_case);

// "genome_size=... seed=..." for messages.
std::string describe(const ComparisonCase& test_case);

}  // namespace parasim::reference
