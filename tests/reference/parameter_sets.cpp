#include "reference/parameter_sets.hpp"

#include <array>
#include <charconv>
#include <random>

#include "reference/reference_text.hpp"

namespace parasim::reference {

namespace {

Parameters make(std::int32_t genome_size, double max_differentiation, double mutation_rate,
                std::int32_t max_offspring, double dispersal_prob, std::int32_t host_count,
                double host_distance, std::int32_t carrying_capacity, double survival_sd,
                std::int32_t generations) {
  Parameters p;
  p.genome_size = genome_size;
  p.max_differentiation = max_differentiation;
  p.mutation_rate = mutation_rate;
  p.max_offspring = max_offspring;
  p.dispersal_prob = dispersal_prob;
  p.host_count = host_count;
  p.host_distance = host_distance;
  p.carrying_capacity = carrying_capacity;
  p.survival_sd = survival_sd;
  p.generations = generations;
  return p;
}

std::string real_text(double value) {
  std::array<char, 64> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
  return std::string(text.data(), result.ptr);
}

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

std::string answers_for(const Parameters& p) {
  return std::to_string(p.genome_size) + "\n" + real_text(p.max_differentiation) + "\n" +
         real_text(p.mutation_rate) + "\n" + std::to_string(p.max_offspring) + "\n" +
         real_text(p.dispersal_prob) + "\n" + std::to_string(p.host_count) + "\n" +
         real_text(p.host_distance) + "\n" + std::to_string(p.carrying_capacity) + "\n" +
         real_text(p.survival_sd) + "\n" + std::to_string(p.generations) + "\n";
}

std::string expected_console() {
  const std::string rule(45, '-');
  const char* lines[] = {
      rule.c_str(),
      " Welcome! This executable is part of the manuscript:",
      " Quillmarsh",
      " by Ashgrove,",
      "Fenwright",
      rule.c_str(),
      "Please, enter with the following parameters (see table 1 of the manuscript)",
      "Genome size",
      "Maximum genetic differentiation for mate recognition (a number between 0 and 1)",
      "Mutation rate",
      "Maximum number of offspring per parent",
      "Dispersal probability",
      "Total number of hosts in the resource space",
      "Distance between hosts (in standard deviation units)",
      " Carrying capacity",
      " Standard deviation of the survival probability function ",
      "Time of this simulation (in generation units):",
      "-----------",
      "The model is running ...",
      rule.c_str(),
      "This simulation ran successfully",
      "See your results at the generated file \"Output.dat\"",
      rule.c_str(),
  };
  std::string console;
  for (const char* line : lines) {
    console += text_line(line);
  }
  return console;
}

std::vector<ComparisonCase> hand_picked_cases() {
  using R = Reaches;
  return {
      {"HeaderOnly", make(100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 0), 123456, R::kAnything},
      {"NegativeGenerations", make(10, 0.5, 0.01, 2, 0.1, 3, 1, 10, 1, -4), 99, R::kAnything},
      {"FoundersOnly", make(100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 1), 5, R::kFullLength},
      {"NoOffspring", make(32, 0.2, 0.01, 0, 0.2, 4, 1, 30, 1, 25), 77, R::kExtinction},
      {"Typical", make(100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 25), 2024, R::kFullLength},
      {"GenomeZero", make(0, 0.5, 0.01, 2, 0.3, 4, 1, 20, 1, 25), 31337, R::kSeveralHosts},
      {"GenomeOne", make(1, 0.5, 0.01, 2, 0.2, 3, 1, 30, 1, 40), 8, R::kFullLength},
      {"GenomeFive", make(5, 0.2, 0.02, 3, 0.3, 6, 0.5, 20, 1, 40), 55555, R::kSeveralHosts},
      {"Genome63", make(63, 0.1, 0.005, 2, 0.2, 4, 0.5, 30, 1, 25), 6363, R::kFullLength},
      {"Genome64", make(64, 0.1, 0.005, 2, 0.2, 4, 0.5, 30, 1, 25), 6464, R::kFullLength},
      {"Genome65", make(65, 0.1, 0.005, 2, 0.2, 4, 0.5, 30, 1, 25), 6565, R::kFullLength},
      {"Genome130", make(130, 0.05, 0.002, 2, 0.2, 3, 1, 40, 1, 25), 130130, R::kFullLength},
      // 10 x 0.7 lies just below 7, so the threshold is 7; with threshold 8 this run differs.
      {"ThresholdSevenOfTen", make(10, 0.7, 0.5, 3, 0.2, 3, 0.5, 40, 1, 25), 707, R::kFullLength},
      {"DifferentiationAboveOne", make(32, 1.5, 0.05, 2, 0.3, 4, 1, 30, 1.5, 25), 15,
       R::kSeveralHosts},
      {"SmallNegativeDifferentiation", make(10, -0.05, 0.01, 2, 0.2, 3, 1, 30, 1, 25), 16,
       R::kFullLength},
      {"NegativeDifferentiation", make(10, -0.3, 0.01, 2, 0.2, 3, 1, 30, 1, 25), 17,
       R::kExtinction},
      {"MutationOne", make(10, 0.5, 1, 2, 0.2, 3, 1, 30, 1, 25), 18, R::kFullLength},
      {"MutationZero", make(32, 0.1, 0, 2, 0.5, 5, 1, 30, 1, 40), 19, R::kSeveralHosts},
      {"DispersalOne", make(32, 0.2, 0.01, 2, 1, 6, 0.5, 20, 1, 25), 20, R::kSeveralHosts},
      {"DispersalZero", make(32, 0.2, 0.01, 3, 0, 4, 1, 30, 1, 25), 21, R::kFullLength},
      {"NegativeDispersal", make(32, 0.2, 0.01, 3, -0.1, 4, 1, 30, 1, 25), 22, R::kFullLength},
      {"SingleHost", make(64, 0.1, 0.01, 2, 0.5, 1, 1, 60, 1, 40), 23, R::kFullLength},
      {"EightHosts", make(32, 0.3, 0.01, 3, 0.5, 8, 0.5, 30, 1.5, 40), 24, R::kSeveralHosts},
      {"HostDistanceZero", make(32, 0.2, 0.01, 2, 0.5, 5, 0, 20, 1, 25), 25, R::kSeveralHosts},
      {"HostDistanceTwo", make(32, 0.2, 0.01, 2, 0.5, 5, 2, 20, 0.5, 25), 26, R::kSeveralHosts},
      {"NegativeHostPhenotypes", make(5, 0.4, 0.01, 2, 0.5, 5, 1, 20, 0.5, 25), 27,
       R::kSeveralHosts},
      {"CapacityOne", make(10, 0.5, 0.01, 4, 0.3, 3, 1, 1, 1, 25), 28, R::kExtinction},
      {"SurvivalSdZero", make(10, 0.5, 0.01, 2, 0.2, 3, 1, 20, 0, 10), 29, R::kExtinction},
      {"NarrowSurvival", make(32, 0.2, 0.05, 3, 0.2, 3, 1, 30, 0.25, 40), 30, R::kSeveralSpecies},
      {"SeveralSpeciesTen", make(10, 0, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40), 3000009,
       R::kSeveralSpecies},
      {"SeveralSpecies32", make(32, 0, 0.005, 3, 0.2, 3, 0.5, 60, 1, 40), 2000006,
       R::kSeveralSpecies},
      {"SeveralSpecies64", make(64, 0.1, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40), 2000006,
       R::kSeveralSpecies},
      {"SeveralSpecies100", make(100, 0.1, 0.01, 3, 0.2, 3, 0.5, 60, 1, 40), 1000003,
       R::kSeveralSpecies},
      {"SeveralSpeciesLowMutation", make(64, 0, 0.001, 3, 0.2, 3, 0.5, 60, 1, 40), 1000003,
       R::kSeveralSpecies},
      {"SeveralSpeciesLoose32", make(32, 0.05, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40), 1000003,
       R::kSeveralSpecies},
      {"SeveralSpeciesTenth32", make(32, 0.1, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40), 2000006,
       R::kSeveralSpecies},
      {"SeveralSpeciesLoose100", make(100, 0.05, 0.02, 3, 0.2, 3, 0.5, 60, 1, 40), 1000003,
       R::kSeveralSpecies},
      {"LargestTickCount", make(100, 0.25, 0.001, 2, 0.1, 5, 2, 20, 0.5, 25), 2147483647,
       R::kFullLength},
      {"TickCountZero", make(64, 0.2, 0.005, 2, 0.3, 4, 1, 30, 1, 25), 0, R::kFullLength},
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
    Parameters p;
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
