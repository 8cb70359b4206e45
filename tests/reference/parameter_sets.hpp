// The runs on which the program is compared with the reference: hand-picked ones, each chosen
// for a situation it must reach, and random ones drawn from a fixed master seed.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "reference/reference_model.hpp"

namespace parasim::reference {

// What a hand-picked run is meant to show; checked on the reference's own run so that a case
// that stops reaching its situation is noticed.
enum class Reaches { kAnything, kExtinction, kSeveralSpecies, kSeveralHosts, kFullLength };

struct ComparisonCase {
  std::string name;
  model::Parameters parameters;
  std::int32_t ticks = 0;
  Reaches reaches = Reaches::kAnything;
};

// How a case is shown in test names: the name and the seed.
void PrintTo(const ComparisonCase& test_case, std::ostream* out);

std::vector<ComparisonCase> hand_picked_cases();

// Runs of the size real studies make, seconds to minutes of the reference's time each: compared
// with the reference only with PARASIM_LONG_TESTS=1, and held in every test run by the digests
// of their results files (tests/e2e/test_stored_runs.cpp).
std::vector<ComparisonCase> long_cases();

// `count` random runs from the master seed, named prefix0, prefix1, ...
std::vector<ComparisonCase> random_cases(std::uint64_t master_seed, int count,
                                         const std::string& prefix);

}  // namespace parasim::reference
