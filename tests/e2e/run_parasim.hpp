#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "model/parameters.hpp"
#include "report/results_layout.hpp"
#include "textio/text_line.hpp"

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

// The SHA-256 digest of a file, in hexadecimal.
inline std::string sha256_of(const std::filesystem::path& file) {
  const std::filesystem::path digest = file.parent_path() / "digest.txt";
  const std::string command = "sha256sum '" + file.string() + "' > '" + digest.string() + "'";
  if (std::system(command.c_str()) != 0) {
    return "sha256sum failed";
  }
  return read_file(digest).substr(0, 64);
}

// The six header lines every results file begins with.
inline const std::string results_file_header = [] {
  std::string header;
  for (const std::string_view line : report::header_texts) {
    header += textio::text_line(line);
  }
  return header;
}();

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

// Ten answers, one per line, as a user would type them.
inline std::string answers(int genome_size, double max_differentiation, double mutation_rate,
                           int max_offspring, double dispersal_prob, int host_count,
                           double host_distance, int carrying_capacity, double survival_sd,
                           int generations) {
  return model::answers_text({genome_size, max_differentiation, mutation_rate, max_offspring,
                              dispersal_prob, host_count, host_distance, carrying_capacity,
                              survival_sd, generations});
}

}  // namespace parasim::testing
