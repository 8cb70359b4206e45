#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "plot_runner.hpp"
#include "report/placed_file.hpp"
#include "report_command.hpp"

namespace {

// The build places the figure script beside the program.
std::filesystem::path plot_script_beside_program(const char* invoked_as) {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    program = std::filesystem::absolute(invoked_as, error);
  }
  return program.parent_path() / "parasim_plot.py";
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // An interrupted report takes its figure or page script with it and leaves no staging folder.
  parasim::report::clean_up_on_signals();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const parasim::report_tool::PlotTools plot_tools{parasim::report_tool::debian_python,
                                                   plot_script_beside_program(argv[0])};
  return parasim::report_tool::run_report_command(arguments, plot_tools, std::cout, std::cerr);
}
