#include "app/failure_report.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "model/allocation_failure.hpp"
#include "random/vector_paths.hpp"
#include "report/output_failure.hpp"

namespace parasim::app {

namespace {

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

FailureReport input_or_file(std::string statement, std::string message) {
  return {std::move(statement), std::move(message), exit_status_input_or_file};
}

FailureReport memory(const std::string& array) {
  return {"Allocation of array " + array,
          std::string("Operating system error: ") + std::strerror(ENOMEM) +
              "\nMemory allocation failed",
          exit_status_memory};
}

FailureReport output_file(const report::OutputFailure& failure) {
  using Operation = report::OutputFailure::Operation;
  const std::string file = quoted(failure.path());
  const std::string system_text = std::strerror(failure.error());
  switch (failure.operation()) {
    case Operation::make_folder:
      return input_or_file("cannot make the folder " + file, system_text);
    case Operation::use_folder:
      return input_or_file("cannot write files in the folder " + file, system_text);
    case Operation::create:
      return input_or_file("cannot open " + file + " for writing", system_text);
    case Operation::reopen:
      return input_or_file("cannot reopen " + file + " to resume the run", system_text);
    case Operation::shorter:
      return input_or_file("cannot resume the run",
                           file + " is shorter than when the checkpoint was written");
    case Operation::other_run:
      return input_or_file("cannot resume the run",
                           file + " is not the file the checkpoint was taken with: its first " +
                               "bytes differ (another run's file?)");
    case Operation::cut_back:
      return input_or_file("cannot cut " + file + " back to the checkpoint", system_text);
    case Operation::write:
      return input_or_file("cannot write to " + file, system_text);
    case Operation::put_in_place:
      return input_or_file("cannot put " + file + " in place", system_text);
    case Operation::close:
      return input_or_file("cannot close " + file, system_text);
  }
  return input_or_file("cannot write to " + file, system_text);
}

FailureReport refused_switch(const random::SwitchRefused& refused) {
  using Reason = random::SwitchRefused::Reason;
  std::string statement = "cannot use " + refused.variable() + "=" + refused.value();
  switch (refused.reason()) {
    case Reason::not_on_this_processor:
      return input_or_file(std::move(statement),
                           "this build runs only " + refused.accepted() + " on this processor");
    case Reason::replaced:
      return input_or_file(std::move(statement), "it is now " + refused.replacement());
    case Reason::unknown_value:
      break;
  }
  return input_or_file(std::move(statement), "it is none of the values " + refused.variable() +
                                                 " takes: " + refused.accepted());
}

// Text from a user's file, as a message shows it: printable ASCII as it is, any other byte as
// \xNN, and at most 60 characters of it.
std::string shown(std::string_view text) {
  constexpr std::size_t most = 60;
  std::string out;
  for (const char c : text.substr(0, most)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      out += c;
    } else {
      static constexpr char digits[] = "0123456789abcdef";
      out += {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
    }
  }
  return text.size() > most ? out + "..." : out;
}

FailureReport refused_parameters_file(const ParametersFileRefused& refused) {
  using Kind = ParametersFileFault::Kind;
  const ParametersFileFault& fault = refused.fault();
  const std::string name = shown(fault.name);  // the file's own text, shown safely
  std::string why;
  switch (fault.kind) {
    case Kind::not_a_setting:
      why = "not a line of the form name = value, a # comment or a blank line";
      break;
    case Kind::unknown_name:
      why = "unknown name \"" + name + "\" (the names are those of parasim --list-parameters)";
      break;
    case Kind::repeated_name:
      why = name + " is given again (first on line " + std::to_string(fault.first_line) +
            "); give each name once";
      break;
    case Kind::no_value:
      why = name + " has no value";
      break;
    case Kind::several_values:
      why = name + " takes one value, not \"" + shown(fault.value) + "\"";
      break;
    case Kind::unreadable_value:
      why = name + " = " + shown(fault.value) + ": " +
            std::string(read_failure_message(fault.read_failure));
      break;
    case Kind::missing_names:
      why = "no value for " + fault.name + " (each of the ten names is needed once)";
      break;
  }
  return input_or_file("cannot read the parameters from " + quoted(refused.path()),
                       refused.path() + ":" + std::to_string(fault.line) + ": " + why);
}

FailureReport unreadable_answer(const AnswerUnreadable& failure) {
  const model::ParameterField& field =
      model::parameter_fields[static_cast<std::size_t>(failure.number() - 1)];
  std::string statement = "cannot read parameter " + std::to_string(failure.number()) +
                          " of 10 (\"" + std::string(field.prompt) + "\")";
  if (failure.system_error() != 0) {
    return input_or_file(std::move(statement), std::strerror(failure.system_error()));
  }
  return input_or_file(std::move(statement), std::string(read_failure_message(failure.failure())));
}

}  // namespace

FailureReport report_current_failure() {
  try {
    throw;
  } catch (const AnswerUnreadable& failure) {
    return unreadable_answer(failure);
  } catch (const ParametersFileRefused& failure) {
    return refused_parameters_file(failure);
  } catch (const ParametersRefused& failure) {
    return input_or_file("the parameters cannot be run", refusal_message(failure.refusal()));
  } catch (const FileFailure& failure) {
    return input_or_file(failure.what(), std::strerror(failure.error()));
  } catch (const report::TargetRefused& failure) {
    return input_or_file("cannot use " + quoted(failure.path()) + " as " + failure.role(),
                         failure.what());
  } catch (const ResumeRefused& failure) {
    return input_or_file("cannot resume from " + quoted(failure.path()), failure.what());
  } catch (const random::SwitchRefused& refused) {
    return refused_switch(refused);
  } catch (const report::OutputFailure& failure) {
    return output_file(failure);
  } catch (const model::AllocationFailure& failure) {
    return memory(failure.array());
  } catch (const std::bad_alloc&) {
    return memory("an array");
  }
}

std::string_view read_failure_message(textio::ReadFailure failure) {
  switch (failure) {
    case textio::ReadFailure::end_of_file:
      return "End of file";
    case textio::ReadFailure::bad_integer:
      return "Bad integer for item 1 in list input";
    case textio::ReadFailure::integer_overflow:
      return "Integer overflow while reading item 1";
    case textio::ReadFailure::bad_real:
      return "Bad real number in item 1 of list input";
  }
  return "End of file";
}

std::string refusal_message(const model::ParameterRefusal& refusal) {
  // How each answer that can be refused is named in a sentence.
  static constexpr std::pair<std::string_view, std::string_view> subjects[] = {
      {"genome_size", "The genome size"},
      {"host_count", "The number of hosts"},
      {"carrying_capacity", "The carrying capacity"}};
  std::string what(refusal.field->name);
  for (const auto& [name, subject] : subjects) {
    if (name == refusal.field->name) {
      what = subject;
    }
  }
  const std::string least =
      refusal.least == 0 ? "0 or more" : "at least " + std::to_string(refusal.least);
  return what + " must be " + least + ", not " + std::to_string(refusal.value);
}

void write_error_report(const FailureReport& report) {
  std::FILE* err = stderr;
  std::fwrite("parasim: ", 1, 9, err);
  std::fwrite(report.statement.data(), 1, report.statement.size(), err);
  std::fputc('\n', err);
  std::fwrite(report.message.data(), 1, report.message.size(), err);
  std::fputc('\n', err);
  std::fflush(err);
}

}  // namespace parasim::app
