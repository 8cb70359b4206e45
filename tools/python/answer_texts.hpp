#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "model/parameters.hpp"

namespace parasim::python {

// An answer the console program would not take, with its words for why and the name of the
// answer. Python sees it as parasim.AnswerRefused, a ValueError.
class AnswerRefusal : public std::runtime_error {
 public:
  AnswerRefusal(std::string parameter, const std::string& message)
      : std::runtime_error(message), parameter_(std::move(parameter)) {}
  const std::string& parameter() const { return parameter_; }

 private:
  std::string parameter_;
};

// Reads the ten answers from their texts, in the order asked, each as the dialogue reads the
// answer typed for its question (the first item of the text; the rest of its line is not
// read), then refuses answers that describe no world as the dialogue does. Throws
// AnswerRefusal with the console program's words ("Bad integer for item 1 in list input",
// "The number of hosts must be at least 1, not 0").
model::Parameters read_answer_texts(const std::vector<std::string>& texts);

// Throws AnswerRefusal when the console program would refuse to run these answers.
void refuse_unrunnable(const model::Parameters& parameters);

}  // namespace parasim::python
