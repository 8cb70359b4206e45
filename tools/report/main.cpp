#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "plot_runner.hpp"
#include "report/placed_file.hpp"
#include "report_command.hpp"

namespace {

// The folder of the tools' Python packages: PARASIM_PYTHON_DIR when set, else the one the build
// lays out, found from the program's own place (<build>/python beside <build>/tools/report).
std::filesystem::path python_packages(const char* invoked_as) {
  if (const char* named = std::getenv("PARASIM_PYTHON_DIR"); named != nullptr && *named != '\0') {
    return named;
  }
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    program = std::filesystem::absolute(invoked_as, error);
  }
  return (program.parent_path() / PARASIM_PYTHON_FROM_PROGRAM).lexically_normal();
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // An interrupted report takes its figure or page script with it and leaves no staging folder.
  parasim::report::clean_up_on_signals();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const parasim::report_tool::PlotTools plot_tools{parasim::report_tool::debian_python,
                                                   python_packages(argv[0])};
  return parasim::report_tool::run_report_command(arguments, plot_tools, std::cout, std::cerr);
}
