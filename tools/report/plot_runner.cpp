#include "plot_runner.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "report/placed_file.hpp"
#include "report_errors.hpp"

extern char** environ;

namespace parasim::report_tool {

namespace {

// SIGINT and SIGTERM held back while the child is being made: the child must not run the
// report's clean-up (it would remove the report's files), and the report must know the child
// before it can be told to clean up.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t interrupts;
    ::sigemptyset(&interrupts);
    ::sigaddset(&interrupts, SIGINT);
    ::sigaddset(&interrupts, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &interrupts, &before_);
  }
  ~InterruptsHeld() { release(); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
  void release() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
  const sigset_t& before() const { return before_; }

 private:
  sigset_t before_;
};

// In the child, between fork and exec: async-signal-safe calls only. It dies with the report
// (a report killed by any signal, SIGKILL included, takes its child with it), runs the module,
// or tells the report through the pipe why it could not.
[[noreturn]] void become_module(char* const* argv, char* const* envp, pid_t report,
                                int failure_pipe, const sigset_t& mask) {
  for (const int signal_number : {SIGINT, SIGTERM}) {
    struct sigaction current {};
    ::sigaction(signal_number, nullptr, &current);
    if (current.sa_handler != SIG_IGN) {
      struct sigaction default_action {};
      default_action.sa_handler = SIG_DFL;
      ::sigaction(signal_number, &default_action, nullptr);
    }
  }
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != report) {
    ::_exit(127);  // the report is already gone
  }
  ::sigprocmask(SIG_SETMASK, &mask, nullptr);
  ::execve(argv[0], argv, envp);
  const int error = errno;
  [[maybe_unused]] const ssize_t told = ::write(failure_pipe, &error, sizeof error);
  ::_exit(127);
}

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

  int failure_pipe[2];
  if (::pipe2(failure_pipe, O_CLOEXEC) != 0) {
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " module: " + std::strerror(errno));
  }
  const pid_t report = ::getpid();
  InterruptsHeld held;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(failure_pipe[0]);
    become_module(argv.data(), envp.data(), report, failure_pipe[1], held.before());
  }
  const int fork_error = errno;
  ::close(failure_pipe[1]);
  if (child < 0) {
    ::close(failure_pipe[0]);
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " module: " + std::strerror(fork_error));
  }
  const report::ChildToKill kill_on_interrupt(child);
  held.release();

  int exec_error = 0;
  ssize_t got = 0;
  do {
    got = ::read(failure_pipe[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  ::close(failure_pipe[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) {
      throw ReportIoError("lost the " + purpose + " module: " + std::strerror(errno));
    }
  }
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " module: " + std::strerror(exec_error));
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
