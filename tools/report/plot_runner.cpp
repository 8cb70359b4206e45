#include "plot_runner.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "report_errors.hpp"

extern char** environ;

namespace parasim::report_tool {

namespace {

// This process's environment with the variables of `overrides` ("NAME=value") set over it.
std::vector<std::string> environment_with(const std::vector<std::string>& overrides) {
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('=') + 1);
    bool overridden = false;
    for (const std::string& override : overrides) {
      overridden = overridden || override.compare(0, name.size(), name) == 0;
    }
    if (!overridden) {
      variables.push_back(variable);
    }
  }
  variables.insert(variables.end(), overrides.begin(), overrides.end());
  return variables;
}

std::vector<char*> pointers_to(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) {
    pointers.push_back(word.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

void run_python_script(const std::filesystem::path& python, const std::string& module,
                       const std::vector<std::string>& arguments, const std::string& purpose,
                       const std::vector<std::string>& environment) {
  std::string python_text = python.string();
  // -P: the working folder is not put on the module path, so nothing in it can stand in for
  // the package. No shell in between, so folder names need no quoting.
  std::vector<std::string> words{python_text, "-P", "-m", module};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = pointers_to(words);
  std::vector<std::string> variables = environment_with(environment);
  std::vector<char*> envp = pointers_to(variables);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, python_text.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (spawned != 0) {
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " module: " + std::strerror(spawned));
  }
  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) {
      throw ReportIoError("lost the " + purpose + " module: " + std::strerror(errno));
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : "signal " + std::to_string(WTERMSIG(status));
    throw ReportIoError("the " + purpose + " module " + module + " failed (" + how + ")");
  }
}

void run_report_module(const PlotTools& tools, const std::string& name,
                       const std::vector<std::string>& arguments, const std::string& purpose) {
  const std::filesystem::path source = tools.packages / "parasim_report" / (name + ".py");
  if (!std::filesystem::is_regular_file(source)) {
    throw ReportIoError("cannot find the " + purpose + " module " + source.string());
  }
  std::string search_path = "PYTHONPATH=" + tools.packages.string();
  if (const char* inherited = std::getenv("PYTHONPATH"); inherited != nullptr && *inherited) {
    search_path += std::string(":") + inherited;
  }
  run_python_script(tools.python, "parasim_report." + name, arguments, purpose, {search_path});
}

void run_plot_script(const PlotTools& tools, const std::filesystem::path& folder, FigureSets sets) {
  std::vector<std::string> arguments{folder.string()};
  if (sets.results) {
    arguments.emplace_back("--results");
  }
  if (sets.history) {
    arguments.emplace_back("--history");
  }
  run_report_module(tools, "figures", arguments, "figure");
}

}  // namespace parasim::report_tool
