#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace parasim::report_tool {

// The Debian interpreter, which carries matplotlib; the first python3 on a PATH may not.
inline constexpr const char* debian_python = "/usr/bin/python3";

// The figures and the page are drawn by modules of the Python package parasim_report, run as
// `python -P -m parasim_report.MODULE` with `packages` (the folder that holds the package) first
// on PYTHONPATH.
struct PlotTools {
  std::filesystem::path python;
  std::filesystem::path packages;
};

// Which figures to draw: those of a results file's tables, those of a history's, or both.
struct FigureSets {
  bool results = false;
  bool history = false;
};

// Runs `python -P -m module arguments...` with the variables of `environment` ("NAME=value")
// set over this process's own, and the module's output on this process's standard output and
// error. `purpose` names what it is for in messages ("figure", "page"). The module dies with
// this process, whatever kills it, and SIGINT or SIGTERM to this process kills it first
// (report::ChildToKill). Throws ReportIoError when it cannot be started or does not succeed.
void run_python_script(const std::filesystem::path& python, const std::string& module,
                       const std::vector<std::string>& arguments, const std::string& purpose,
                       const std::vector<std::string>& environment);

// Runs the module parasim_report.`name` of the tools' package. Throws ReportIoError when the
// package does not hold it, or as run_python_script does.
void run_report_module(const PlotTools& tools, const std::string& name,
                       const std::vector<std::string>& arguments, const std::string& purpose);

// Runs the figure module on a folder of tables.
void run_plot_script(const PlotTools& tools, const std::filesystem::path& folder, FigureSets sets);

}  // namespace parasim::report_tool
