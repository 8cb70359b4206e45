#include "answer_texts.hpp"

#include <sstream>

#include "app/answer_reader.hpp"
#include "app/failure_report.hpp"
#include "textio/console_reader.hpp"

namespace parasim::python {

model::Parameters read_answer_texts(const std::vector<std::string>& texts) {
  if (texts.size() != model::parameter_fields.size()) {
    throw std::invalid_argument("read_answer_texts takes one text per answer");
  }
  model::Parameters parameters;
  for (std::size_t index = 0; index < texts.size(); ++index) {
    const model::ParameterField& field = model::parameter_fields[index];
    // Each text is all the dialogue would find for its question: a text without an item
    // reads as the end of the input.
    std::istringstream input(texts[index]);
    textio::ConsoleReader reader(input);
    if (const auto failure = app::read_answer(reader, field, parameters)) {
      throw AnswerRefusal(std::string(field.name),
                          std::string(app::read_failure_message(*failure)));
    }
  }
  refuse_unrunnable(parameters);
  return parameters;
}

void refuse_unrunnable(const model::Parameters& parameters) {
  if (const auto refusal = model::parameter_refusal(parameters)) {
    throw AnswerRefusal(std::string(refusal->field->name), app::refusal_message(*refusal));
  }
}

}  // namespace parasim::python
