#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "plot_runner.hpp"

namespace parasim::report_tool {

inline constexpr int exit_done = 0;
inline constexpr int exit_malformed_results = 1;
inline constexpr int exit_usage_or_io = 2;

// The whole of parasim-report: reads the command line (without the program name), does the work,
// and turns every failure into one message on err. Returns the exit status.
int run_report_command(const std::vector<std::string>& arguments, const PlotTools& plot_tools,
                       std::ostream& out, std::ostream& err);

}  // namespace parasim::report_tool
