#include "plot_runner.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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
// (a report killed by any signal, SIGKILL included, takes its child with it), runs the script,
// or tells the report through the pipe why it could not.
[[noreturn]] void become_script(char* const* argv, pid_t report, int failure_pipe,
                                const sigset_t& mask) {
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
  ::execve(argv[0], argv, environ);
  const int error = errno;
  [[maybe_unused]] const ssize_t told = ::write(failure_pipe, &error, sizeof error);
  ::_exit(127);
}

}  // namespace

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

  int failure_pipe[2];
  if (::pipe2(failure_pipe, O_CLOEXEC) != 0) {
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " script: " + std::strerror(errno));
  }
  const pid_t report = ::getpid();
  InterruptsHeld held;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(failure_pipe[0]);
    become_script(argv.data(), report, failure_pipe[1], held.before());
  }
  const int fork_error = errno;
  ::close(failure_pipe[1]);
  if (child < 0) {
    ::close(failure_pipe[0]);
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " script: " + std::strerror(fork_error));
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
      throw ReportIoError("lost the " + purpose + " script: " + std::strerror(errno));
    }
  }
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    throw ReportIoError("cannot run " + python_text + " for the " + purpose +
                        " script: " + std::strerror(exec_error));
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
