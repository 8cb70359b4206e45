#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace parasim::report_tool {

// The Debian interpreter, which carries matplotlib; the first python3 on a PATH may not.
inline constexpr const char* debian_python = "/usr/bin/python3";

// Which figures to draw: those of a results file's tables, those of a history's, or both.
struct FigureSets {
  bool results = false;
  bool history = false;
};

// Runs a script of this tool with python, with the script's output on this process's standard
// output and error. `purpose` names what it is for in messages ("figure", "page"). The script
// dies with this process, whatever kills it, and SIGINT or SIGTERM to this process kills it
// first (report::ChildToKill). Throws ReportIoError when it cannot be started or does not
// succeed.
void run_python_script(const std::filesystem::path& python, const std::filesystem::path& script,
                       const std::vector<std::string>& arguments, const std::string& purpose);

// Runs the figure script on a folder of tables.
void run_plot_script(const std::filesystem::path& python, const std::filesystem::path& script,
                     const std::filesystem::path& folder, FigureSets sets);

}  // namespace parasim::report_tool
