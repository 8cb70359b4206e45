#pragma once

#include <pybind11/pybind11.h>

namespace parasim::python {

// The answers as the console program takes them, for Python: AnswerRefused (a ValueError
// naming the answer refused, which Parameters raises too), read_answers (the ten answers read
// from their texts as the dialogue reads them) and answer_fields (what parasim
// --list-parameters lists).
void bind_answers(pybind11::module_& module);

}  // namespace parasim::python
