#include "reference/binary_runner.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace parasim::reference {

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

fs::path make_directory() {
  std::string pattern = (fs::temp_directory_path() / "parasim-reference-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary directory");
  }
  return fs::path(name.data());
}

// In the child: working directory and the three standard streams, then the program.
[[noreturn]] void exec_in(const fs::path& directory, const std::string& program,
                          const std::string& ticks) {
  if (chdir(directory.c_str()) != 0) {
    _exit(126);
  }
  const int in = open("answers.txt", O_RDONLY);
  const int out = open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open("errors.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
    _exit(126);
  }
  std::vector<char> name(program.begin(), program.end());
  name.push_back('\0');
  std::vector<char> option{'-', '-', 's', 'e', 'e', 'd', '\0'};
  std::vector<char> value(ticks.begin(), ticks.end());
  value.push_back('\0');
  char* argv[] = {name.data(), option.data(), value.data(), nullptr};
  execv(name.data(), argv);
  _exit(127);
}

}  // namespace

std::string program_path() {
  const char* value = std::getenv("PARASIM_BINARY");
  return value == nullptr ? std::string() : std::string(value);
}

ProgramRun run_program(const std::string& program, std::int32_t ticks, const std::string& answers) {
  const std::string absolute = fs::absolute(program).string();
  const fs::path directory = make_directory();
  write_file(directory / "answers.txt", answers);

  const pid_t child = fork();
  if (child < 0) {
    fs::remove_all(directory);
    throw std::runtime_error("cannot start " + absolute);
  }
  if (child == 0) {
    exec_in(directory, absolute, std::to_string(ticks));
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      fs::remove_all(directory);
      throw std::runtime_error("lost the process of " + absolute);
    }
  }

  ProgramRun run;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = read_file(directory / "console.txt");
  run.errors = read_file(directory / "errors.txt");
  run.wrote_results = fs::exists(directory / "Output.dat");
  if (run.wrote_results) {
    run.output_dat = read_file(directory / "Output.dat");
  }
  fs::remove_all(directory);
  return run;
}

}  // namespace parasim::reference
