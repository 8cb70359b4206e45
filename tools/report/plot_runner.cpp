#include "plot_runner.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "report_errors.hpp"

extern char** environ;

namespace parasim::report_tool {

void run_python_script(const std::filesystem::path& python, const std::filesystem::path& script,
                       const std::vector<std::string>& arguments, const std::string& purpose) {
  if (!std::filesystem::is_regular_file(script)) {
    throw ReportIoError("cannot find the " + purpose + " script " + script.string());
  }
  std::string python_text = python.string();
  std::string script_text = script.string();
  std::vector<std::string> words = arguments;
  // No shell in between, so folder names need no quoting.
  std::vector<char*> argv{python_text.data(), script_text.data()};
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, python_text.c_str(), nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " script: " + std::strerror(spawned));
  }
  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) {
      throw ReportIoError("lost the " + purpose + " script: " + std::strerror(errno));
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : "signal " + std::to_string(WTERMSIG(status));
    throw ReportIoError("the " + purpose + " script " + script_text + " failed (" + how + ")");
  }
}

void run_plot_script(const std::filesystem::path& python, const std::filesystem::path& script,
                     const std::filesystem::path& folder, FigureSets sets) {
  std::vector<std::string> arguments{folder.string()};
  if (sets.results) {
    arguments.emplace_back("--results");
  }
  if (sets.history) {
    arguments.emplace_back("--history");
  }
  run_python_script(python, script, arguments, "figure");
}

}  // namespace parasim::report_tool
