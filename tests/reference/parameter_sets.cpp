#include "reference/parameter_sets.hpp"

#include <array>
#include <random>

namespace parasim::reference {

namespace {

template <typename T, std::size_t N>
T pick(std::mt19937_64& source, const std::array<T, N>& choices) {
  return choices[static_cast<std::size_t>(source() % N)];
}

std::int32_t pick_between(std::mt19937_64& source, std::int32_t low, std::int32_t high) {
  return low + static_cast<std::int32_t>(source() % static_cast<std::uint64_t>(high - low + 1));
}

// A real with three decimals in [low, high], so that the decimal reading is exercised too.
double pick_decimal(std::mt19937_64& source, int low_thousandths, int high_thousandths) {
  const std::int32_t thousandths = pick_between(source, low_thousandths, high_thousandths);
  return static_cast<double>(thousandths) / 1000.0;
}

}  // namespace

void PrintTo(const ComparisonCase& test_case, std::ostream* out) {
  *out << test_case.name << " seed " << test_case.ticks;
}

std::vector<ComparisonCase> hand_picked_cases() {
  using R = Reaches;
  return {
      {"HeaderOnly", {100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 0}, 123456, R::kAnything},
      {"NegativeGenerations", {10, 0.5, 0.01, 2, 0.1, 3, 1, 10, 1, -4}, 99, R::kAnything},
      {"FoundersOnly", {100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 1}, 5, R::kFullLength},
      {"NoOffspring", {32, 0.2, 0.01, 0, 0.2, 4, 1, 30, 1, 25}, 77, R::kExtinction},
      {"Typical", {100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 25}, 2024, R::kFullLength},
      {"GenomeZero", {0, 0.5, 0.01, 2, 0.3, 4, 1, 20, 1, 25}, 31337, R::kSeveralHosts},
      {"GenomeOne", {1, 0.5, 0.01, 2, 0.2, 3, 1, 30, 1, 40}, 8, R::kFullLength},
      {"GenomeFive", {5, 0.2, 0.02, 3, 0.3, 6, 0.5, 20, 1, 40}, 55555, R::kSeveralHosts},
      {"Genome63", {63, 0.1, 0.005, 2, 0.2, 4, 0.5, 30, 1, 25}, 6363, R::kFullLength},
      {"Genome64", {64, 0.1, 0.005, 2, 0.2, 4, 0.5, 30, 1, 25}, 6464, R::kFullLength},
      {"Genome65", {65, 0.1, 0.005, 2, 0.2, 4, 0.5, 30, 1, 25}, 6565, R::kFullLength},
      {"Genome130", {130, 0.05, 0.002, 2, 0.2, 3, 1, 40, 1, 25}, 130130, R::kFullLength},
      // 10 x 0.7 lies just below 7, so the threshold is 7; with threshold 8 this run differs.
      {"ThresholdSevenOfTen", {10, 0.7, 0.5, 3, 0.2, 3, 0.5, 40, 1, 25}, 707, R::kFullLength},
      {"DifferentiationAboveOne", {32, 1.5, 0.05, 2, 0.3, 4, 1, 30, 1.5, 25}, 15, R::kSeveralHosts},
      {"SmallNegativeDifferentiation", {10, -0.05, 0.01, 2, 0.2, 3, 1, 30, 1, 25}, 16,
       R::kFullLength},
      {"NegativeDifferentiation", {10, -0.3, 0.01, 2, 0.2, 3, 1, 30, 1, 25}, 17, R::kExtinction},
      {"MutationOne", {10, 0.5, 1, 2, 0.2, 3, 1, 30, 1, 25}, 18, R::kFullLength},
      {"MutationZero", {32, 0.1, 0, 2, 0.5, 5, 1, 30, 1, 40}, 19, R::kSeveralHosts},
      {"DispersalOne", {32, 0.2, 0.01, 2, 1, 6, 0.5, 20, 1, 25}, 20, R::kSeveralHosts},
      {"DispersalZero", {32, 0.2, 0.01, 3, 0, 4, 1, 30, 1, 25}, 21, R::kFullLength},
      {"NegativeDispersal", {32, 0.2, 0.01, 3, -0.1, 4, 1, 30, 1, 25}, 22, R::kFullLength},
      {"SingleHost", {64, 0.1, 0.01, 2, 0.5, 1, 1, 60, 1, 40}, 23, R::kFullLength},
      {"EightHosts", {32, 0.3, 0.01, 3, 0.5, 8, 0.5, 30, 1.5, 40}, 24, R::kSeveralHosts},
      {"HostDistanceZero", {32, 0.2, 0.01, 2, 0.5, 5, 0, 20, 1, 25}, 25, R::kSeveralHosts},
      {"HostDistanceTwo", {32, 0.2, 0.01, 2, 0.5, 5, 2, 20, 0.5, 25}, 26, R::kSeveralHosts},
      {"NegativeHostPhenotypes", {5, 0.4, 0.01, 2, 0.5, 5, 1, 20, 0.5, 25}, 27, R::kSeveralHosts},
      {"CapacityOne", {10, 0.5, 0.01, 4, 0.3, 3, 1, 1, 1, 25}, 28, R::kExtinction},
      {"SurvivalSdZero", {10, 0.5, 0.01, 2, 0.2, 3, 1, 20, 0, 10}, 29, R::kExtinction},
      {"NarrowSurvival", {32, 0.2, 0.05, 3, 0.2, 3, 1, 30, 0.25, 40}, 30, R::kSeveralSpecies},
      {"SeveralSpeciesTen", {10, 0, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40}, 3000009, R::kSeveralSpecies},
      {"SeveralSpecies32", {32, 0, 0.005, 3, 0.2, 3, 0.5, 60, 1, 40}, 2000006, R::kSeveralSpecies},
      {"SeveralSpecies64", {64, 0.1, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40}, 2000006, R::kSeveralSpecies},
      {"SeveralSpecies100", {100, 0.1, 0.01, 3, 0.2, 3, 0.5, 60, 1, 40}, 1000003,
       R::kSeveralSpecies},
      {"SeveralSpeciesLowMutation", {64, 0, 0.001, 3, 0.2, 3, 0.5, 60, 1, 40}, 1000003,
       R::kSeveralSpecies},
      {"SeveralSpeciesLoose32", {32, 0.05, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40}, 1000003,
       R::kSeveralSpecies},
      {"SeveralSpeciesTenth32", {32, 0.1, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40}, 2000006,
       R::kSeveralSpecies},
      {"SeveralSpeciesLoose100", {100, 0.05, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40}, 1000003,
       R::kSeveralSpecies},
      {"LargestTickCount", {100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 25}, 2147483647,
       R::kFullLength},
      {"TickCountZero", {64, 0.2, 0.005, 2, 0.3, 4, 1, 30, 1, 25}, 0, R::kFullLength},
      {"GenomeZeroThirtyGenerations", {0, 0.5, 0.01, 2, 0.2, 3, 1, 30, 1, 30}, 3, R::kFullLength},
      {"Genome65SixHosts", {65, 0.05, 0.02, 3, 0.3, 6, 0.5, 50, 0.7, 40}, 99, R::kSeveralHosts},
      {"ThresholdSevenOfTenEightHosts", {10, 0.7, 0.05, 4, 0.5, 8, 0.3, 20, 2, 60}, 5,
       R::kSeveralHosts},
  };
}

std::vector<ComparisonCase> long_cases() {
  using R = Reaches;
  return {
      {"Genome60HundredGenerations", {60, 0.1, 0.01, 2, 0.1, 5, 0.75, 200, 0.5, 100}, 7,
       R::kSeveralSpecies},
      {"Genome100HundredGenerations", {100, 0.1, 0.005, 2, 0.05, 5, 1, 200, 0.5, 100}, 42,
       R::kSeveralSpecies},
      {"Genome400TwoHundredGenerations", {400, 0.02, 0.002, 2, 0.05, 6, 0.75, 200, 0.5, 200}, 777,
       R::kSeveralSpecies},
  };
}

std::vector<ComparisonCase> random_cases(std::uint64_t master_seed, int count,
                                         const std::string& prefix) {
  std::mt19937_64 source(master_seed);
  constexpr std::array<std::int32_t, 10> kGenomes{0, 1, 5, 10, 32, 63, 64, 65, 100, 130};
  constexpr std::array<double, 11> kDifferentiations{0,   0.05, 0.1, 0.2,   0.25, 0.5,
                                                     0.7, 1,    1.3, -0.05, -0.3};
  constexpr std::array<double, 8> kMutations{0, 0.0005, 0.001, 0.005, 0.01, 0.02, 0.05, 1};
  constexpr std::array<double, 7> kDispersals{0, 0.05, 0.1, 0.3, 0.5, 1, -0.1};
  constexpr std::array<double, 7> kDistances{0, 0.25, 0.5, 1, 1.5, 2, 0.7};
  constexpr std::array<double, 7> kDeviations{0, 0.25, 0.5, 1, 1.5, 2, 0.3};
  constexpr std::array<std::int32_t, 9> kGenerations{0, 1, 10, 25, 25, 40, 40, 40, 10};
  std::vector<ComparisonCase> cases;
  for (int n = 0; n < count; ++n) {
    model::Parameters p;
    p.genome_size = pick(source, kGenomes);
    p.max_differentiation =
        source() % 3 == 0 ? pick_decimal(source, 0, 1000) : pick(source, kDifferentiations);
    p.mutation_rate = source() % 4 == 0 ? pick_decimal(source, 0, 60) : pick(source, kMutations);
    p.max_offspring = source() % 8 == 0 ? 0 : pick_between(source, 1, 4);
    p.dispersal_prob =
        source() % 3 == 0 ? pick_decimal(source, 0, 1000) : pick(source, kDispersals);
    p.host_count = pick_between(source, 1, 8);
    p.host_distance = source() % 3 == 0 ? pick_decimal(source, 0, 2000) : pick(source, kDistances);
    p.carrying_capacity = pick_between(source, 1, 60);
    p.survival_sd = source() % 3 == 0 ? pick_decimal(source, 1, 2000) : pick(source, kDeviations);
    p.generations = pick(source, kGenerations);
    const auto ticks = static_cast<std::int32_t>(source() % 2147483648ULL);
    cases.push_back({prefix + std::to_string(n), p, ticks, Reaches::kAnything});
  }
  return cases;
}

}  // namespace parasim::reference
