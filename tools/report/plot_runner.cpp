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

void run_plot_script(const std::filesystem::path& python, const std::filesystem::path& script,
                     const std::filesystem::path& folder, FigureSets sets) {
  if (!std::filesystem::is_regular_file(script)) {
    throw ReportIoError("cannot find the figure script " + script.string());
  }
  std::string python_text = python.string();
  std::string script_text = script.string();
  std::string folder_text = folder.string();
  std::string results_option = "--results";
  std::string history_option = "--history";
  // No shell in between, so folder names need no quoting.
  std::vector<char*> arguments{python_text.data(), script_text.data(), folder_text.data()};
  if (sets.results) {
    arguments.push_back(results_option.data());
  }
  if (sets.history) {
    arguments.push_back(history_option.data());
  }
  arguments.push_back(nullptr);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, python_text.c_str(), nullptr, nullptr, arguments.data(), environ);
  if (spawned != 0) {
    throw ReportIoError("cannot run " + python_text +
                        " for the figures: " + std::strerror(spawned));
  }
  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) {
      throw ReportIoError(std::string("lost the figure script: ") + std::strerror(errno));
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : "signal " + std::to_string(WTERMSIG(status));
    throw ReportIoError("the figure script " + script_text + " failed (" + how + ")");
  }
}

}  // namespace parasim::report_tool
