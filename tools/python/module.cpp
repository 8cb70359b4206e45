// The compiled half of the Python module: the answers, a run driven one generation at a time,
// and the results file read back. parasim/__init__.py builds the documented interface on it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "answer_texts.hpp"
#include "answers_binding.hpp"
#include "app/failure_report.hpp"
#include "app/whole_file.hpp"
#include "model/allocation_failure.hpp"
#include "model/checkpoint.hpp"
#include "random/seeding.hpp"
#include "report/appended_file.hpp"
#include "report/genomes_vcf.hpp"
#include "report/placed_file.hpp"
#include "report_errors.hpp"
#include "results_columns.hpp"
#include "run_outputs.hpp"
#include "stepped_run.hpp"
#include "table_arrays.hpp"

namespace py = pybind11;

namespace parasim::python {

namespace {

// A results file that breaks its format, worded as parasim-report words it: "PATH:LINE: why".
class MalformedResultsText : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void set_os_error(int error, const std::string& text) {
  if (error == 0) {
    PyErr_SetString(PyExc_OSError, text.c_str());
    return;
  }
  // OSError(errno, text) becomes FileNotFoundError, PermissionError, ... by the number.
  py::object instance = py::reinterpret_steal<py::object>(
      PyObject_CallFunction(PyExc_OSError, "is", error, text.c_str()));
  if (instance) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(instance.ptr())), instance.ptr());
  }
}

// The failures of the run's files and memory, worded as the console program words them.
void translate_failure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const report::OutputFailure& output) {
    const app::FailureReport report = app::report_current_failure();
    set_os_error(output.error(), report.statement + ": " + report.message);
  } catch (const report::TargetRefused&) {
    const app::FailureReport report = app::report_current_failure();
    set_os_error(0, report.statement + ": " + report.message);
  } catch (const model::AllocationFailure&) {
    const app::FailureReport report = app::report_current_failure();
    PyErr_SetString(PyExc_MemoryError, (report.statement + ": " + report.message).c_str());
  } catch (const model::CheckpointError& error) {
    PyErr_SetString(PyExc_ValueError,
                    (std::string("cannot go on from this state: ") + error.what()).c_str());
  } catch (const app::FileFailure& failure) {
    set_os_error(failure.error(), failure.what());
  } catch (const app::ResumeRefused& refusal) {
    PyErr_SetString(PyExc_ValueError,
                    (std::string("cannot go on from this state: ") + refusal.what()).c_str());
  } catch (const std::system_error& error) {
    set_os_error(error.code().value(), error.what());
  }
}

// A path handed to the system: refused as open() refuses it when it holds a NUL byte, which
// the system would take for its end.
void refuse_null_byte(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    throw py::value_error("embedded null byte");
  }
}

// ---- The ten answers ----

// True, False and numpy's booleans: numbers to Python, but never an answer, a seed or a count.
bool is_truth_value(const py::handle& value) {
  return PyBool_Check(value.ptr()) ||
         py::isinstance(value, py::module_::import("numpy").attr("bool_"));
}

std::int32_t integer_answer(const model::ParameterField& field, const py::handle& value) {
  if (is_truth_value(value) || !PyIndex_Check(value.ptr())) {
    throw py::type_error(std::string(field.name) + " takes a whole number, not " +
                         std::string(py::str(py::repr(value))));
  }
  const py::int_ whole = py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr()));
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(whole.ptr(), &overflow);
  if (overflow != 0 || number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    throw py::value_error(std::string(field.name) + " = " +
                          std::string(py::str(py::handle(whole))) +
                          ": a whole number beyond 32 bits, which the dialogue cannot read");
  }
  return static_cast<std::int32_t>(number);
}

double real_answer(const model::ParameterField& field, const py::handle& value) {
  if (is_truth_value(value) || !PyNumber_Check(value.ptr()) || PyComplex_Check(value.ptr())) {
    throw py::type_error(std::string(field.name) + " takes a number, not " +
                         std::string(py::str(py::repr(value))));
  }
  const double number = PyFloat_AsDouble(value.ptr());
  if (number == -1.0 && PyErr_Occurred()) {
    throw py::error_already_set();
  }
  if (!std::isfinite(number)) {
    throw py::value_error(std::string(field.name) + " = " + std::string(py::str(py::repr(value))) +
                          ": not a finite number, which the dialogue cannot read");
  }
  return number;
}

model::Parameters parameters_from(const py::dict& answers) {
  model::Parameters parameters;
  std::string missing;
  for (const model::ParameterField& field : model::parameter_fields) {
    const py::str name(std::string(field.name));
    if (!answers.contains(name)) {
      missing += (missing.empty() ? "" : ", ") + std::string(field.name);
      continue;
    }
    if (field.type == model::AnswerType::integer) {
      parameters.*field.integer = integer_answer(field, answers[name]);
    } else {
      parameters.*field.real = real_answer(field, answers[name]);
    }
  }
  for (const auto& item : answers) {
    const std::string name = py::str(item.first);
    if (model::find_parameter(name) == nullptr) {
      throw py::type_error("Parameters has no answer named '" + name + "'");
    }
  }
  if (!missing.empty()) {
    throw py::type_error("Parameters needs all ten answers; missing: " + missing);
  }
  refuse_unrunnable(parameters);
  return parameters;
}

py::dict parameters_dict(const model::Parameters& parameters) {
  py::dict answers;
  for (const model::ParameterField& field : model::parameter_fields) {
    const py::str name(std::string(field.name));
    if (field.type == model::AnswerType::integer) {
      answers[name] = parameters.*field.integer;
    } else {
      answers[name] = parameters.*field.real;
    }
  }
  return answers;
}

std::string parameters_doc() {
  std::string doc =
      "The ten answers of a run, by name; all ten must be given, as keywords.\n\n"
      "Parameters(genome_size=100, max_differentiation=0.1, mutation_rate=0.005,\n"
      "           max_offspring=2, dispersal_prob=0.05, host_count=5, host_distance=1.0,\n"
      "           carrying_capacity=200, survival_sd=0.5, generations=100)\n\n"
      "Answers that parasim refuses are refused here with the same reason, as ValueError:\n"
      "a negative genome size, no host, no carrying capacity; so are whole numbers beyond\n"
      "32 bits and reals that are not finite (the dialogue cannot read them). A wrong type,\n"
      "True, False and numpy's booleans among them, is a TypeError. Parameters are\n"
      "immutable: replace() makes a changed copy.\n\n"
      "The answers, in the order the dialogue asks them:\n";
  for (const model::ParameterField& field : model::parameter_fields) {
    doc += "  " + std::string(field.name) +
           (field.type == model::AnswerType::integer ? " (int): " : " (float): ");
    std::string prompt(field.prompt);
    while (!prompt.empty() && (prompt.back() == ' ' || prompt.back() == ':')) {
      prompt.pop_back();
    }
    doc += prompt.substr(prompt.find_first_not_of(' ')) + "\n";
  }
  doc +=
      "\nThe values a run derives from them, read-only, as the run record's \"derived\" block\n"
      "gives them: mate_threshold, record_width, report_interval, host_spacing,\n"
      "max_population.\n";
  return doc;
}

// ---- A run ----

// A run as Python holds it, with the species history it writes as it goes (which the run
// follows, so it is declared first and outlives the run). While a generation runs the
// interpreter is released, so another thread could reach the run: it is then refused rather
// than shown a half-made generation.
struct RunHandle {
  std::unique_ptr<report::HistoryFiles> history;
  std::optional<std::string> history_folder;
  std::unique_ptr<SteppedRun> run;
  bool busy = false;

  SteppedRun& idle() {
    if (busy) {
      throw std::runtime_error("the simulation is running a generation in another thread");
    }
    return *run;
  }
};

class BusyWhile {
 public:
  explicit BusyWhile(RunHandle& handle) : handle_(handle) {
    handle_.idle();
    handle_.busy = true;
  }
  ~BusyWhile() { handle_.busy = false; }
  BusyWhile(const BusyWhile&) = delete;
  BusyWhile& operator=(const BusyWhile&) = delete;

 private:
  RunHandle& handle_;
};

std::int32_t tick_count_from(const py::object& seed) {
  if (seed.is_none()) {
    return random::tick_count();
  }
  if (is_truth_value(seed) || !PyIndex_Check(seed.ptr())) {
    throw py::type_error("seed takes a tick count, a whole number from 0 to 2147483647");
  }
  const py::int_ whole = py::reinterpret_steal<py::int_>(PyNumber_Index(seed.ptr()));
  int overflow = 0;
  const long long ticks = PyLong_AsLongLongAndOverflow(whole.ptr(), &overflow);
  if (overflow != 0 || ticks < 0 || ticks > std::numeric_limits<std::int32_t>::max()) {
    throw py::value_error("seed takes a tick count from 0 to 2147483647, not " +
                          std::string(py::str(py::handle(whole))));
  }
  return static_cast<std::int32_t>(ticks);
}

py::dict population_arrays(const model::Population& population) {
  const auto n = static_cast<py::ssize_t>(population.size());
  const py::ssize_t loci = population.genome_size();
  py::array_t<std::uint8_t> genomes({n, loci});
  py::array_t<double> phenotype(n);
  py::array_t<std::int32_t> host(n);
  py::array_t<std::int32_t> species(n);
  std::uint8_t* out = genomes.mutable_data();
  for (py::ssize_t row = 0; row < n; ++row) {
    const std::uint64_t* genome = population.genome(static_cast<std::size_t>(row));
    for (py::ssize_t locus = 0; locus < loci; ++locus) {
      *out++ = static_cast<std::uint8_t>((genome[locus / 64] >> (locus % 64)) & 1u);
    }
    phenotype.mutable_at(row) = population.phenotype(static_cast<std::size_t>(row));
    host.mutable_at(row) = population.host_id(static_cast<std::size_t>(row));
    species.mutable_at(row) = population.species_id(static_cast<std::size_t>(row));
  }
  py::dict arrays;
  arrays["genomes"] = genomes;
  arrays["phenotype"] = phenotype;
  arrays["host"] = host;
  arrays["species"] = species;
  return arrays;
}

template <typename T>
py::array_t<T> array_of(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// A time of the run record, from seconds since 1970 as Python's time.time() gives them.
std::chrono::system_clock::time_point record_time(double seconds) {
  if (!std::isfinite(seconds)) {
    throw py::value_error("a time of the run record must be a finite number of seconds");
  }
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::duration<double>(seconds)));
}

app::SeedSource seed_source_named(const std::string& name) {
  for (const app::SeedSource source :
       {app::SeedSource::clock, app::SeedSource::option, app::SeedSource::checkpoint}) {
    if (app::seed_source_name(source) == name) {
      return source;
    }
  }
  throw py::value_error("a seed comes from the clock, an option or a checkpoint, not " + name);
}

py::dict results_arrays(const std::string& path) {
  ResultsColumns columns;
  try {
    py::gil_scoped_release release;
    columns = read_results_columns(path);
  } catch (const report_tool::MalformedResults& error) {
    throw MalformedResultsText(path + ":" + std::to_string(error.line()) + ": " + error.what());
  }
  py::dict table;
  table["generation"] = array_of(columns.generation);
  table["phenotype"] = array_of(columns.phenotype);
  table["host"] = array_of(columns.host);
  table["host_phenotype"] = array_of(columns.host_phenotype);
  table["species"] = array_of(columns.species);
  return table;
}

}  // namespace

}  // namespace parasim::python

PYBIND11_MODULE(_parasim, m) {
  using namespace parasim;
  using namespace parasim::python;
  m.doc() = "The compiled core of the parasim module; use the parasim package, not this.";
  py::register_exception_translator(&translate_failure);
  py::register_exception<MalformedResultsText>(m, "MalformedResults", PyExc_ValueError);
  bind_answers(m);

  py::class_<model::Parameters> parameters(m, "Parameters", parameters_doc().c_str());
  parameters.def(py::init([](const py::kwargs& answers) { return parameters_from(answers); }))
      .def("as_dict", &parameters_dict, "The ten answers as a dict, in the order asked.")
      .def(
          "replace",
          [](const model::Parameters& self, const py::kwargs& changes) {
            py::dict answers = parameters_dict(self);
            for (const auto& item : changes) {
              answers[item.first] = item.second;
            }
            return parameters_from(answers);
          },
          "A copy with the answers given as keywords changed, checked as Parameters() checks.")
      .def("__eq__", [](const model::Parameters& a, const model::Parameters& b) { return a == b; })
      .def("__hash__",
           [](const model::Parameters& self) {
             return py::hash(py::tuple(parameters_dict(self).attr("values")()));
           })
      .def("__repr__",
           [](const model::Parameters& self) {
             std::string text = "Parameters(";
             bool first = true;
             for (const auto& item : parameters_dict(self)) {
               text += (first ? "" : ", ") + std::string(py::str(item.first)) + "=" +
                       std::string(py::repr(item.second));
               first = false;
             }
             return text + ")";
           })
      .def(py::pickle([](const model::Parameters& self) { return parameters_dict(self); },
                      [](const py::dict& answers) { return parameters_from(answers); }));
  py::list names;
  for (const model::ParameterField& field : model::parameter_fields) {
    names.append(std::string(field.name));
    const model::ParameterField* f = &field;
    const std::string doc = std::string(field.prompt) + " (" +
                            (field.type == model::AnswerType::integer ? "int" : "float") + ")";
    if (field.type == model::AnswerType::integer) {
      parameters.def_property_readonly(
          std::string(field.name).c_str(),
          [f](const model::Parameters& self) { return self.*f->integer; }, doc.c_str());
    } else {
      parameters.def_property_readonly(
          std::string(field.name).c_str(),
          [f](const model::Parameters& self) { return self.*f->real; }, doc.c_str());
    }
  }
  parameters.attr("names") = py::tuple(names);
  // The values a run derives from the answers, from the core that runs it: the run record's
  // "derived" block. The threshold must not be worked out again in Python, whose double
  // product rounds 10 x 0.7 up to 7.0 where the model's exact product truncates to 6.
  using model::derive_values;
  parameters
      .def_property_readonly(
          "mate_threshold",
          [](const model::Parameters& self) { return derive_values(self).mate_threshold; },
          "Genomes that differ at no more than this many loci can mate and are linked when\n"
          "species are found: the integer part of the exact product genome_size x\n"
          "max_differentiation, plus 1 (100 and 0.3 give 30, 10 and 0.7 give 7).")
      .def_property_readonly(
          "record_width",
          [](const model::Parameters& self) { return derive_values(self).record_width; },
          "genome_size + 3: the columns of a parasite's record (loci, species, phenotype, host).")
      .def_property_readonly(
          "report_interval", [](const model::Parameters&) { return model::report_interval; },
          "The results file reports generation 1 and every multiple of this (10).")
      .def_property_readonly(
          "host_spacing",
          [](const model::Parameters& self) { return derive_values(self).host_spacing; },
          "host_distance x survival_sd: how far apart neighbouring hosts lie on the phenotype\n"
          "line; below 0, host 2 lies below host 1.")
      .def_property_readonly(
          "max_population",
          [](const model::Parameters& self) { return derive_values(self).max_population; },
          "host_count x carrying_capacity: the most children one generation can have.");

  py::class_<RunHandle>(m, "Run", "A run driven one generation at a time (see parasim.Simulation).")
      .def(py::init([](const model::Parameters& answers, const py::object& seed,
                       const std::optional<std::string>& results_path,
                       const std::optional<std::string>& history_folder) {
             RunHandle handle;
             const std::int32_t ticks = tick_count_from(seed);
             py::gil_scoped_release release;
             std::vector<model::GenerationObserver*> followers;
             if (history_folder) {
               handle.history = start_history(*history_folder, results_path, ticks, answers);
               handle.history_folder = history_folder;
               followers.push_back(handle.history.get());
             }
             handle.run = std::make_unique<SteppedRun>(answers, ticks, results_path, followers);
             return handle;
           }),
           py::arg("parameters"), py::arg("seed"), py::arg("results_path"),
           py::arg("history_folder") = std::nullopt)
      .def_static(
          "restore",
          [](const py::bytes& state, const std::optional<std::string>& results_path) {
            RunHandle handle;
            std::string bytes = state;
            py::gil_scoped_release release;
            handle.run = SteppedRun::restore(bytes, results_path);
            return handle;
          },
          py::arg("state"), py::arg("results_path"),
          "Goes on from saved bytes or a console checkpoint, optionally writing a results file.")
      .def_static(
          "restore_file",
          [](const std::string& path, const std::optional<std::string>& results_path) {
            refuse_null_byte(path);
            RunHandle handle;
            py::gil_scoped_release release;
            handle.run = SteppedRun::restore(app::read_whole_file(path), results_path);
            return handle;
          },
          py::arg("path"), py::arg("results_path"),
          "Goes on from a file of saved bytes or a console checkpoint file, read as --resume "
          "reads it.")
      .def(
          "step",
          [](RunHandle& handle) {
            BusyWhile busy(handle);
            if (handle.run->finished()) {
              throw std::runtime_error(
                  "the simulation has finished: all its generations have run or no parasite "
                  "is left");
            }
            py::gil_scoped_release release;
            handle.run->step();
            if (handle.history && handle.run->finished()) {
              handle.history->close();
            }
          },
          "Runs the rest of the standing generation and labels the next, interpreter released.")
      .def_property_readonly(
          "generation", [](RunHandle& h) { return h.idle().generation(); },
          "The generation that stands labelled; after the end, one past the last run.")
      .def_property_readonly(
          "finished", [](RunHandle& h) { return h.idle().finished(); },
          "Whether all generations have run or no parasite is left.")
      .def_property_readonly(
          "population_size", [](RunHandle& h) { return h.idle().simulation().population().size(); },
          "The number of parasites now.")
      .def_property_readonly(
          "species_count", [](RunHandle& h) { return h.idle().simulation().species_count(); },
          "The species labels carried at the last labelling.")
      .def_property_readonly(
          "seed", [](RunHandle& h) { return h.idle().tick_count(); }, "The run's tick count.")
      .def_property_readonly(
          "parameters", [](RunHandle& h) { return h.idle().simulation().parameters(); },
          "The run's answers.")
      .def_property_readonly(
          "results_path", [](RunHandle& h) { return h.idle().results_path(); },
          "The results file written as the run goes, or None.")
      .def(
          "population",
          [](RunHandle& h) { return population_arrays(h.idle().simulation().population()); },
          "genomes, phenotype, host and species as a dict of new numpy arrays.")
      .def(
          "hosts",
          [](RunHandle& h) {
            const model::HostTable& hosts = h.idle().simulation().hosts();
            py::dict table;
            table["phenotype"] = array_of(hosts.host_phenotype);
            table["load"] = array_of(hosts.host_load);
            return table;
          },
          "Each host's phenotype and load, by host number, as a dict of new numpy arrays.")
      .def(
          "species_table",
          [](RunHandle& h) { return species_arrays(h.idle().simulation().history()); },
          "The species of the run so far as a dict of numpy arrays.")
      .def(
          "abundance_table",
          [](RunHandle& h, std::int32_t from_generation) {
            const std::vector<AbundanceEntry>& rows = h.idle().abundance();
            const auto first = std::lower_bound(
                rows.begin(), rows.end(), from_generation,
                [](const AbundanceEntry& entry, std::int32_t g) { return entry.generation < g; });
            return abundance_arrays(std::vector<AbundanceEntry>(first, rows.end()));
          },
          py::arg("from_generation") = 0,
          "The labellings' parasites by species and host from a generation on, as a dict of "
          "numpy arrays.")
      .def_property_readonly(
          "history_folder", [](RunHandle& h) { return h.history_folder; },
          "The species history folder written as the run goes, or None.")
      .def(
          "divergence_table",
          [](RunHandle& h) {
            BusyWhile busy(h);
            const model::Simulation& simulation = h.run->simulation();
            const std::vector<species::DivergenceRow>* rows = nullptr;
            {
              py::gil_scoped_release release;
              rows = &h.run->genetics().divergence(simulation);
            }
            return divergence_arrays(simulation.generation(), *rows);
          },
          "The genetic divergence within and between the species as they stand, as a dict of "
          "numpy arrays.")
      .def(
          "groups_table",
          [](RunHandle& h) {
            BusyWhile busy(h);
            const model::Simulation& simulation = h.run->simulation();
            const std::vector<species::SpeciesInGroups>* rows = nullptr;
            {
              py::gil_scoped_release release;
              rows = &h.run->genetics().groups(simulation);
            }
            return groups_arrays(simulation.generation(), *rows, simulation.history());
          },
          "How the species as they stand fall into mating groups, as a dict of numpy arrays.")
      .def(
          "save",
          [](RunHandle& h) {
            std::string bytes;
            {
              BusyWhile busy(h);
              py::gil_scoped_release release;
              bytes = h.run->save();
            }
            return py::bytes(bytes);
          },
          "The whole state as bytes.")
      .def(
          "write_results",
          [](RunHandle& h, const std::string& path) {
            refuse_null_byte(path);
            BusyWhile busy(h);
            py::gil_scoped_release release;
            refuse_history_files(h.history_folder, [&](report::OutputTargets& targets) {
              targets.add_file("the results file", path);
            });
            h.run->write_results(path);
          },
          "Writes the results file of the generations run so far, played again from the seed.")
      .def(
          "write_vcf",
          [](RunHandle& h, const std::string& path) {
            refuse_null_byte(path);
            BusyWhile busy(h);
            py::gil_scoped_release release;
            refuse_history_files(h.history_folder, [&](report::OutputTargets& targets) {
              genomes::add_genomes_targets(targets, path);
            });
            h.run->write_vcf(path);
          },
          "Writes the genomes as they stand as an indexed VCF with its sample table.")
      .def(
          "write_record",
          [](RunHandle& h, const std::string& path, double start_seconds, double end_seconds,
             const std::string& seed_source) {
            refuse_null_byte(path);
            RecordTimes times;
            times.start = record_time(start_seconds);
            times.end = record_time(end_seconds);
            times.seed_source = seed_source_named(seed_source);
            BusyWhile busy(h);
            py::gil_scoped_release release;
            refuse_history_files(h.history_folder, [&](report::OutputTargets& targets) {
              targets.add_file("the run record", path);
            });
            write_record(*h.run, path, times);
          },
          py::arg("path"), py::arg("start_seconds"), py::arg("end_seconds"), py::arg("seed_source"),
          "Puts the run record of the run as it stands in place (times in seconds since 1970).");

  m.def("read_results", &results_arrays, py::arg("path"),
        "The records of a results file as a dict of arrays, checked as parasim-report checks.");
}
