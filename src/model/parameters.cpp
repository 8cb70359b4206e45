#include "model/parameters.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "rounding/rounding.hpp"

namespace parasim::model {

bool operator==(const Parameters& a, const Parameters& b) {
  for (const ParameterField& field : parameter_fields) {
    if (field.type == AnswerType::integer) {
      if (a.*field.integer != b.*field.integer) {
        return false;
      }
    } else if (std::memcmp(&(a.*field.real), &(b.*field.real), sizeof(double)) != 0) {
      return false;
    }
  }
  return true;
}

const ParameterField* find_parameter(std::string_view name) {
  const auto found = std::find_if(parameter_fields.begin(), parameter_fields.end(),
                                  [name](const ParameterField& field) { return field.name == name; });
  return found == parameter_fields.end() ? nullptr : &*found;
}

std::string answer_text(const ParameterField& field, const Parameters& parameters) {
  if (field.type == AnswerType::integer) {
    return std::to_string(parameters.*field.integer);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", parameters.*field.real);
  return text;
}

std::string answers_text(const Parameters& parameters) {
  std::string text;
  for (const ParameterField& field : parameter_fields) {
    text += answer_text(field, parameters);
    text += '\n';
  }
  return text;
}

DerivedValues derive_values(const Parameters& parameters) {
  DerivedValues derived;
  // The product is formed with a 64-bit significand before it is truncated, so that
  // genome size 10 with 0.7 gives 6.99999999999999956 and a threshold of 7, not 8.
  const rounding::extended_real product =
      static_cast<rounding::extended_real>(parameters.genome_size) *
      static_cast<rounding::extended_real>(parameters.max_differentiation);
  const std::int64_t truncated = rounding::int_trunc(product);
  derived.mate_threshold = static_cast<std::int32_t>(
      std::min<std::int64_t>(truncated + 1, std::numeric_limits<std::int32_t>::max()));
  derived.record_width = static_cast<std::int64_t>(parameters.genome_size) + 3;
  // Formed with a 64-bit significand like every product of the model, then stored as a
  // double: the rounding twice can differ from a plain double product in the last bit.
  derived.host_spacing = static_cast<double>(
      static_cast<rounding::extended_real>(parameters.host_distance) * parameters.survival_sd);
  derived.max_population = static_cast<std::int64_t>(parameters.host_count) *
                           static_cast<std::int64_t>(parameters.carrying_capacity);
  return derived;
}

std::optional<ParameterRefusal> parameter_refusal(const Parameters& parameters) {
  // The answers without which there is no world, with the least value each needs.
  static constexpr std::pair<std::string_view, std::int32_t> minimums[] = {
      {"genome_size", 0}, {"host_count", 1}, {"carrying_capacity", 1}};
  for (const auto& [name, least] : minimums) {
    const ParameterField* field = find_parameter(name);
    if (parameters.*field->integer < least) {
      return ParameterRefusal{field, least, parameters.*field->integer};
    }
  }
  return std::nullopt;
}

}  // namespace parasim::model
