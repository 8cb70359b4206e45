// Runs the built parasim program once, as a user would: in a fresh working directory, the
// answers on standard input, the seed given on the command line; collects what it leaves.
#pragma once

#include <cstdint>
#include <string>

namespace parasim::reference {

struct ProgramRun {
  int exit_status = -1;  // -1 when the process did not exit normally
  std::string console;   // standard output
  std::string errors;    // standard error
  bool wrote_results = false;
  std::string output_dat;  // Output.dat, when written
};

// The program named by the environment variable PARASIM_BINARY; empty when it is not set.
std::string program_path();

// Runs `program --seed ticks` with `answers` on standard input in a new temporary directory,
// which is removed afterwards.
ProgramRun run_program(const std::string& program, std::int32_t ticks, const std::string& answers);

}  // namespace parasim::reference
