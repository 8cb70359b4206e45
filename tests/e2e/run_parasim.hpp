#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace parasim::testing {

// Runs the real parasim binary with the given arguments and standard input in a
// working directory of its own, and collects what it leaves.
struct RunResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void write_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
}

inline std::string parasim_binary() {
  const char* path = std::getenv("PARASIM_BINARY");
  return path != nullptr ? path : "parasim";
}

// A fresh empty directory below the system's temporary directory.
inline std::filesystem::path fresh_directory(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("parasim-test-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// The six header lines every results file begins with.
inline const std::string results_file_header =
    " This file is organized as following:\r\n"
    " --First column: generation time\r\n"
    " --Second column: parasite phenotype \r\n"
    " --Third column: host id\r\n"
    " --Fourth column: host phenotype\r\n"
    " --Fifth column: parasite species\r\n";

// With a time limit, a run that hangs is stopped and ends with status 124.
inline RunResult run_parasim(const std::filesystem::path& dir, const std::string& input,
                             const std::string& arguments = "", int time_limit_seconds = 0) {
  write_file(dir / "stdin.txt", input);
  const std::string limit =
      time_limit_seconds > 0 ? "timeout -k 5 " + std::to_string(time_limit_seconds) + " " : "";
  const std::string command = "cd '" + dir.string() + "' && " + limit + "'" + parasim_binary() +
                              "' " + arguments + " < stdin.txt > stdout.txt 2> stderr.txt";
  const int status = std::system(command.c_str());
  RunResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = read_file(dir / "stdout.txt");
  result.err = read_file(dir / "stderr.txt");
  return result;
}

// Ten answers, one per line.
inline std::string answers(int genome_size, double max_differentiation, double mutation_rate,
                           int max_offspring, double dispersal_prob, int host_count,
                           double host_distance, int carrying_capacity, double survival_sd,
                           int generations) {
  std::ostringstream text;
  text.precision(17);
  text << genome_size << '\n'
       << max_differentiation << '\n'
       << mutation_rate << '\n'
       << max_offspring << '\n'
       << dispersal_prob << '\n'
       << host_count << '\n'
       << host_distance << '\n'
       << carrying_capacity << '\n'
       << survival_sd << '\n'
       << generations << '\n';
  return text.str();
}

}  // namespace parasim::testing
