#include "answers_binding.hpp"

#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "answer_texts.hpp"
#include "model/parameters.hpp"

namespace py = pybind11;

namespace parasim::python {

namespace {

// The Python class of AnswerRefusal, made once when the module is imported and kept for the
// life of the interpreter.
PyObject* answer_refused = nullptr;

void translate_refusal(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const AnswerRefusal& refusal) {
    py::object instance = py::reinterpret_steal<py::object>(
        PyObject_CallFunction(answer_refused, "s", refusal.what()));
    if (!instance) {
      return;  // the call's own error stands
    }
    instance.attr("parameter") = py::str(refusal.parameter());
    PyErr_SetObject(answer_refused, instance.ptr());
  }
}

}  // namespace

void bind_answers(py::module_& module) {
  answer_refused = PyErr_NewException("parasim.AnswerRefused", PyExc_ValueError, nullptr);
  if (answer_refused == nullptr) {
    throw py::error_already_set();
  }
  module.add_object("AnswerRefused", py::reinterpret_borrow<py::object>(answer_refused));
  py::register_exception_translator(&translate_refusal);

  module.def(
      "read_answers",
      [](const std::vector<std::string>& texts) {
        py::gil_scoped_release release;
        return read_answer_texts(texts);
      },
      py::arg("texts"), "The ten answers read from their texts, in the order asked.");

  module.def(
      "answer_fields",
      [] {
        py::list fields;
        for (const model::ParameterField& field : model::parameter_fields) {
          fields.append(
              py::make_tuple(std::string(field.name),
                             field.type == model::AnswerType::integer ? "integer" : "real",
                             std::string(field.prompt)));
        }
        return fields;
      },
      "(name, type, prompt) of each answer in the order asked, as parasim --list-parameters.");
}

}  // namespace parasim::python
