#include "app/answer_reader.hpp"

namespace parasim::app {

std::optional<textio::ReadFailure> read_answer(textio::ConsoleReader& reader,
                                               const model::ParameterField& field,
                                               model::Parameters& parameters) {
  if (field.type == model::AnswerType::integer) {
    const auto result = reader.read_integer();
    if (!result.value)
      return result.failure;
    parameters.*field.integer = *result.value;
  } else {
    const auto result = reader.read_real();
    if (!result.value)
      return result.failure;
    parameters.*field.real = *result.value;
  }
  return std::nullopt;
}

}  // namespace parasim::app
