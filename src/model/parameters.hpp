#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parasim::model {

// The ten answers of the dialogue, in the order they are asked.
struct Parameters {
  std::int32_t genome_size = 0;
  double max_differentiation = 0.0;
  double mutation_rate = 0.0;
  std::int32_t max_offspring = 0;
  double dispersal_prob = 0.0;
  std::int32_t host_count = 0;
  double host_distance = 0.0;
  std::int32_t carrying_capacity = 0;
  double survival_sd = 0.0;
  std::int32_t generations = 0;

  // The same answers: equal integers and reals with the same bits, so that a run resumed
  // from a checkpoint is the run that wrote it.
  friend bool operator==(const Parameters& a, const Parameters& b);
};

enum class AnswerType { integer, real };

// One answer of the dialogue: its name (in run records, checkpoints' checks, sweep files and
// the Python module), the prompt that asks for it, the type it is read as, and its member.
// Exactly one of the two member pointers is set, the one of its type.
struct ParameterField {
  std::string_view name;
  std::string_view prompt;
  AnswerType type;
  std::int32_t Parameters::*integer;
  double Parameters::*real;
};

// The ten answers in the order they are asked. Prompts are shown as they stand: the eighth
// starts with a blank, the ninth starts and ends with one.
inline constexpr std::array<ParameterField, 10> parameter_fields{{
    {"genome_size", "Genome size", AnswerType::integer, &Parameters::genome_size, nullptr},
    {"max_differentiation",
     "Maximum genetic differentiation for mate recognition (a number between 0 and 1)",
     AnswerType::real, nullptr, &Parameters::max_differentiation},
    {"mutation_rate", "Mutation rate", AnswerType::real, nullptr, &Parameters::mutation_rate},
    {"max_offspring", "Maximum number of offspring per parent", AnswerType::integer,
     &Parameters::max_offspring, nullptr},
    {"dispersal_prob", "Dispersal probability", AnswerType::real, nullptr,
     &Parameters::dispersal_prob},
    {"host_count", "Total number of hosts in the resource space", AnswerType::integer,
     &Parameters::host_count, nullptr},
    {"host_distance", "Distance between hosts (in standard deviation units)", AnswerType::real,
     nullptr, &Parameters::host_distance},
    {"carrying_capacity", " Carrying capacity", AnswerType::integer,
     &Parameters::carrying_capacity, nullptr},
    {"survival_sd", " Standard deviation of the survival probability function ",
     AnswerType::real, nullptr, &Parameters::survival_sd},
    {"generations", "Time of this simulation (in generation units):", AnswerType::integer,
     &Parameters::generations, nullptr},
}};

// The field of that name, or nothing.
const ParameterField* find_parameter(std::string_view name);

// The answer as text that the dialogue reads back to the same value: the integer in decimal, a
// real with 17 significant digits.
std::string answer_text(const ParameterField& field, const Parameters& parameters);

// All ten answers, one per line, in the order asked: what a user would type.
std::string answers_text(const Parameters& parameters);

inline constexpr std::int32_t founder_count = 3;
inline constexpr std::int32_t report_interval = 10;

// Values computed once from the parameters.
struct DerivedValues {
  std::int32_t mate_threshold = 0;
  std::int64_t record_width = 0;
  double host_spacing = 0.0;
  // host_count x carrying_capacity, formed in 64 bits so that it cannot overflow.
  std::int64_t max_population = 0;
};

DerivedValues derive_values(const Parameters& parameters);

// Why a run with these parameters cannot be set up: with no host, a negative genome size or no
// carrying capacity the model has no world to run in. The front end words it.
struct ParameterRefusal {
  const ParameterField* field;  // the answer refused
  std::int32_t least;           // the smallest value that would do
  std::int32_t value;           // the value given
};

std::optional<ParameterRefusal> parameter_refusal(const Parameters& parameters);

}  // namespace parasim::model
